#pragma once

#include <QByteArray>
#include <QFile>
#include <utility>

// The process's resident memory now and at its peak (VmRSS and VmHWM), in megabytes.
inline std::pair<double, double> residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    double now = 0;
    double peak = 0;
    if (!status.open(QIODevice::ReadOnly))
        return {now, peak};
    for (const QByteArray &line : status.readAll().split('\n')) {
        const auto kilobytes = [&line] { return line.simplified().split(' ').value(1).toDouble(); };
        if (line.startsWith("VmRSS:"))
            now = kilobytes() / 1024.0;
        else if (line.startsWith("VmHWM:"))
            peak = kilobytes() / 1024.0;
    }
    return {now, peak};
}

// Starts the peak (VmHWM) again from the present resident size, so that a measurement's peak is
// its own and not the filling's. False where the kernel does not allow it.
inline bool resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}
