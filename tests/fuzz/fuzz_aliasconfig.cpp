// Feeds arbitrary bytes to the configuration-file reader and checks what a save relies on:
// a text read and written back unchanged is the same bytes; an alias set or removed reads back
// as set, and every other alias reads back as it was. The input's first line doubles as an
// alias name and its second as a path, so that names that try to break out of their section
// header are tried too.

#include "dbe/aliasconfigtext.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

void require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "alias configuration: %s\n", what);
    std::abort();
}

QList<dbe::AliasInfo> without(QList<dbe::AliasInfo> aliases, const QString &name)
{
    aliases.removeIf([&](const dbe::AliasInfo &alias) {
        return alias.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return aliases;
}

// Applies `edit` to a fresh reading of `input` and checks the result against `expected` (the
// alias as it must read back, or nothing when it must be gone).
template <typename Edit>
void checkEdit(const QByteArray &input, const QString &name,
               const std::optional<dbe::AliasInfo> &expected, Edit edit)
{
    dbe::AliasConfigText text = dbe::AliasConfigText::parse(input);
    const QList<dbe::AliasInfo> before = text.aliases();
    edit(text);
    const QByteArray written = text.toBytes();
    const dbe::AliasConfigText reread = dbe::AliasConfigText::parse(written);
    require(reread.toBytes() == written, "a written file does not read back byte for byte");
    const std::optional<dbe::AliasInfo> found = reread.find(name);
    if (expected) {
        require(found.has_value(), "an alias set is missing");
        require(found->path == expected->path && found->driver == expected->driver &&
                    found->defaultDriver == expected->defaultDriver &&
                    found->busyTimeoutMs == expected->busyTimeoutMs,
                "an alias set reads back otherwise");
    } else {
        require(!found.has_value(), "an alias removed is still there");
    }
    require(without(reread.aliases(), name) == without(before, name),
            "an edit changed another alias");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const dbe::AliasConfigText text = dbe::AliasConfigText::parse(input);
    require(text.toBytes() == input, "an unedited file does not come back byte for byte");
    const QList<dbe::AliasInfo> aliases = text.aliases();
    for (const dbe::AliasInfo &alias : aliases)
        require(dbe::aliasNameProblem(alias.name).isEmpty(), "an alias with an invalid name");

    dbe::AliasInfo moved;
    moved.path = QStringLiteral("/fuzz/moved");
    moved.busyTimeoutMs = 250;
    if (!aliases.isEmpty()) {
        moved.name = aliases.first().name;
        checkEdit(input, moved.name, moved, [&](dbe::AliasConfigText &t) { t.setAlias(moved); });
        const QString last = aliases.last().name;
        checkEdit(input, last, std::nullopt, [&](dbe::AliasConfigText &t) { t.removeAlias(last); });
    }

    const QList<QByteArray> lines = input.split('\n');
    dbe::AliasInfo candidate;
    candidate.name = QString::fromUtf8(lines.value(0));
    candidate.path = QString::fromUtf8(lines.value(1));
    if (dbe::aliasNameProblem(candidate.name).isEmpty() &&
        dbe::configValueProblem(candidate.path).isEmpty())
        checkEdit(input, candidate.name, candidate,
                  [&](dbe::AliasConfigText &t) { t.setAlias(candidate); });
    return 0;
}
