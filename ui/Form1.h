#pragma once

#include "relay/Relay.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;

namespace freqrelay {

// The relay's window: the In and Out fields, the Setup, ReSend and QUIT
// buttons, and a print area. Out is drawn in red, the reason its tooltip, while its
// command is not on the line; In's tooltip tells why the file cannot be
// read. The widgets' object names are their names: "Text1", "Command2", ...
class Form1 final : public QWidget {
public:
    explicit Form1(Relay& relay, QWidget* parent = nullptr);

    // Shows the window and starts the relay.
    void Form_Load();
    // QUIT: the relay lets go of the port, the window goes and the event
    // loop ends.
    void Command1_Click();
    // ReSend: prints an empty line and sends the last command again.
    void Command2_Click();
    // Setup…: opens what `setUp` opens (the Setup dialog).
    void Command3_Click();
    void setSetUp(std::function<void()> setUp) { setUp_ = std::move(setUp); }
    // Writes one line at the print position and moves it down a line.
    void Print(const QString& text);
    const QStringList& printedLines() const { return printed_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Out's command is on the line or not (red); `note` says where or why.
    void describeOut(bool sent, const QString& note);

    Relay& relay_;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    std::function<void()> setUp_;
    QStringList printed_;
};

}  // namespace freqrelay
