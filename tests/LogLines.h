#pragma once

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <chrono>

// The relay's own log lines on standard error so far.
class LogLines {
public:
    explicit LogLines(QProcess& program) : program_(program) {}

    const QStringList& now() {
        for (const QString& line : QString::fromLocal8Bit(program_.readAllStandardError()).split('\n')) {
            if (line.startsWith("freqrelay.relay: ")) {
                lines_ << line.mid(17);
            }
        }
        return lines_;
    }
    // Waits up to `wait` for a line containing every one of `parts`.
    bool waitFor(const QStringList& parts, std::chrono::milliseconds wait) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        do {
            program_.waitForReadyRead(20);
            for (const QString& line : now()) {
                if (std::all_of(parts.begin(), parts.end(), [&](const QString& part) { return line.contains(part); })) {
                    return true;
                }
            }
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    QString all() { return now().join(" | "); }

private:
    QProcess& program_;
    QStringList lines_;
};
