#pragma once

#include "core/Display.h"
#include "core/FileReader.h"
#include "core/LoopHost.h"
#include "core/RelayObserver.h"
#include "core/RelayState.h"
#include "serial/QtSerialControl.h"
#include "serial/SendCommand.h"
#include "ui/FileWatch.h"
#include "ui/RelayLog.h"

#include <QStringList>

#include <QWidget>
#include <chrono>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace freqrelay {

// The frequency file, in the working directory, unless told otherwise.
inline constexpr const char* kFrequencyFile = "ft1000file";

// The relay's only window: the "In" and "Out" fields, the "ReSend" and
// "QUIT" buttons, and a print area on its own surface. It owns the relay
// state and the serial control, and its load handler runs the poll loop.
// Out is drawn in red, with the reason as its tooltip, while the command it
// shows is not on the line; In's tooltip tells why the file cannot be read.
class Form1 final : public QWidget, private LoopHost, private Display, private RelayObserver {
public:
    // `frequencyFile` is read against the working directory of each poll.
    explicit Form1(const std::string& frequencyFile = kFrequencyFile, QWidget* parent = nullptr);
    ~Form1() override;

    // Shows the window and polls the frequency file until QUIT.
    void Form_Load();
    // QUIT: closes the file and the port, unloads the window, ends the loop.
    void Command1_Click();
    // ReSend: prints an empty line and sends the last command again.
    void Command2_Click();
    // Writes one line at the print position and moves it down a line.
    void Print(const QString& text);

    int printPosition() const { return static_cast<int>(printed_.size()); }
    const QStringList& printedLines() const { return printed_; }
    bool quitRequested() const override;
    // True while the command Out shows has not been written and drained.
    bool outNotSent() const { return outNotSent_; }

    RelayState state;
    QtSerialControl MSComm1;

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void pump() override;
    void pause(std::chrono::milliseconds duration) override;
    void showIn(const std::string& text) override;
    void showOut(const std::string& text) override;
    void releaseFileAndPort() noexcept;
    void stepFailed(const StepFailure& failure) override;
    void failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) override;
    void commandSent(const std::string& command, const std::string& digits) override;
    void textHasNoNumber(const std::string& file, const std::string& start) override;
    void showOutNotSent(const QString& why);

    FileReader file_;
    FileWatch watch_;
    std::optional<std::chrono::steady_clock::time_point> lastCommandEnd_;
    RelayLog log_;
    SendCommand sender_;
    QStringList printed_;
    bool quit_ = false;
    bool outNotSent_ = false;
};

}  // namespace freqrelay
