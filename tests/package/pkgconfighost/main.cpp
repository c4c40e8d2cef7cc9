// A host built with nothing but `pkg-config --cflags --libs VeskSecure2`: it must compile as
// C++17, link, load the installed library and reach the component through it.
#include <VeskSecure2/vesksec2.h>
#include <cstdio>

int main()
{
    TVeskSecure security;
    security.SetAlias(QStringLiteral("NOWHERE"));
    security.SetOptions({soCaseSensitive}); // no message boxes: there is no application object
    const bool right = security.Alias() == QLatin1String("NOWHERE") &&
                       security.Options() == TSecurityOptions{soCaseSensitive} &&
                       !security.GetActive() && security.UserID() == -1 && !security.TestAccess(1);
    std::puts(right ? "component answered" : "component answered wrongly");
    return right ? 0 : 1;
}
