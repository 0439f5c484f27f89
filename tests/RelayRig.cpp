#include "RelayRig.h"

#include "FakeRigctld.h"
#include "LogLines.h"
#include "core/Encoder.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

namespace {

std::filesystem::path makeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "freqrelay-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

}  // namespace

RelayRig::RelayRig(bool portThroughLink)
    : folder_(makeFolder()),
      previousFolder_(std::filesystem::current_path()),
      MSComm1(portThroughLink ? radioLink().string() : pty.slavePath()) {
    std::filesystem::current_path(folder_);
}

RelayRig::~RelayRig() {
    std::filesystem::current_path(previousFolder_);
    std::filesystem::remove_all(folder_);
}

bool RelayRig::run(std::vector<Action> scenario, std::chrono::milliseconds limit, bool quitAtEnd) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::size_t next = 0;
    bool inTime = true;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        while (next < scenario.size() && scenario[next]()) {
            ++next;
        }
        const bool finished = next == scenario.size();
        if ((finished && quitAtEnd) || std::chrono::steady_clock::now() > deadline) {
            inTime = finished;
            timer.stop();
            form.Command1_Click();
        }
    });
    timer.start();
    form.Form_Load();
    QApplication::exec();
    return inTime;
}

void RelayRig::writeFile(const std::string& text) const {
    // Written beside and renamed, so the relay never reads half a text.
    const auto temporary = folder_ / "ft1000file.new";
    std::ofstream(temporary, std::ios::binary) << text;
    std::filesystem::rename(temporary, file());
}

std::string RelayRig::lineHex() {
    line_ += pty.read(SIZE_MAX, std::chrono::milliseconds(0));
    return freqrelay::hexBytes(line_);
}

RelayRig::Action RelayRig::write(const std::string& text) {
    return [this, text] {
        writeFile(text);
        return true;
    };
}

RelayRig::Action RelayRig::waitForBytes(std::size_t total) {
    return [this, total] {
        lineHex();
        return line_.size() >= total;
    };
}

RelayRig::Action RelayRig::idle(std::chrono::milliseconds duration) {
    auto until = std::make_shared<std::chrono::steady_clock::time_point>();
    return [until, duration] {
        const auto now = std::chrono::steady_clock::now();
        if (*until == std::chrono::steady_clock::time_point{}) {
            *until = now + duration;
        }
        return now >= *until;
    };
}

RelayRig::Action RelayRig::then(std::function<void()> step) {
    return [step = std::move(step)] {
        step();
        return true;
    };
}

LogFifo::LogFifo(const std::filesystem::path& path) : path_(path) {
    ::mkfifo(path_.c_str(), 0600);
    openReader();
}

LogFifo::~LogFifo() { closeReader(); }

bool LogFifo::fill() const {
    if (::fcntl(reader_, F_SETPIPE_SZ, ::getpagesize()) < 0) {
        return false;
    }
    const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    const std::string filler = std::string(63, '-') + '\n';
    while (::write(writer, filler.data(), filler.size()) > 0) {
    }
    const bool full = errno == EAGAIN;
    ::close(writer);
    return full;
}

std::string LogFifo::drain() const {
    std::string read;
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(reader_, buffer, sizeof buffer)) > 0;) {
        read.append(buffer, static_cast<std::size_t>(got));
    }
    return read;
}

void LogFifo::closeReader() {
    if (reader_ >= 0) {
        ::close(reader_);
    }
    reader_ = -1;
}

void LogFifo::openReader() {
    closeReader();
    reader_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

void startRelayProgram(QProcess& program, const std::filesystem::path& folder, const std::string& port,
                       const QStringList& arguments, const QString& starter) {
    program.setWorkingDirectory(QString::fromStdString(folder.string()));
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove("FREQRELAY_PORT1");
    if (!port.empty()) {
        environment.insert("FREQRELAY_PORT1", QString::fromStdString(port));
    }
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // Its lock on the link and its stored settings are kept there: no test
    // meets another's, nor the user's own settings.
    environment.insert("TMPDIR", QString::fromStdString(folder.string()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString((folder / "config").string()));
    environment.insert("XDG_CONFIG_DIRS", QString::fromStdString((folder / "config-system").string()));
    program.setProcessEnvironment(environment);
    program.start(starter, arguments);
}

void relayThroughAStoppedRigctld(int runs) {
    using namespace std::chrono_literals;
    if (!RealRigctld::installed()) {
        GTEST_SKIP() << "rigctld is not installed (Debian: libhamlib-utils)";
    }
    for (int run = 0; run < runs; ++run) {
        // From 1 s to 2.5 s: one slow answer or two before the second change.
        const auto apart = 1000ms + 1500ms * run / std::max(runs - 1, 1);
        SCOPED_TRACE("run " + std::to_string(run) + ", changes " + std::to_string(apart.count()) + " ms apart");
        RealRigctld server;
        RelayRig rig;
        rig.writeFile("14250000");
        QProcess program;
        startRelayProgram(program, rig.folder(), rig.pty.slavePath(),
                          {"--rigctld", QStringLiteral("127.0.0.1:%1").arg(server.port)});
        LogLines log(program);
        ASSERT_TRUE(log.waitFor({"sent", "as 14250000 Hz"}, 10s)) << log.all().toStdString();
        server.stop();
        rig.writeFile("3500000");
        std::this_thread::sleep_for(apart);
        rig.writeFile("7050000");
        std::this_thread::sleep_for(500ms);
        server.resume();
        EXPECT_TRUE(log.waitFor({"sent", "as 70500000 Hz"}, 10s)) << log.all().toStdString();
        EXPECT_EQ(server.frequency(), "70500000") << log.all().toStdString();
        EXPECT_TRUE(log.now().filter("dropped").isEmpty()) << log.all().toStdString();
        EXPECT_TRUE(log.now().last().contains("as 70500000 Hz")) << log.all().toStdString();
        if (run == runs - 1) {
            // An answer still waited for does not hold up the end.
            server.stop();
            rig.writeFile("14250000");
            EXPECT_TRUE(log.waitFor({"still waiting for it"}, 5s)) << log.all().toStdString();
        }
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(5000));
        EXPECT_EQ(program.exitCode(), 0);
    }
}

bool startPortHolder(QProcess& holder, const std::string& device) {
    holder.start(FREQRELAY_PORT_HOLDER, {QString::fromStdString(device)});
    return holder.waitForReadyRead(5000) && holder.readLine().trimmed() == "held";
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}
