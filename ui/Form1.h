#pragma once

#include "ui/Relay.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace freqrelay {

// The relay's only window: the "In" and "Out" fields, the "ReSend" and
// "QUIT" buttons, and a print area on its own surface. It shows what its
// relay's signals tell, and hands the two clicks to the relay. Out is drawn in red,
// with the reason as its tooltip, while the command it shows is not on the
// line; In's tooltip tells why the file cannot be read. The widgets carry
// their names as object names: "Text1", "Command2", ...
class Form1 final : public QWidget {
public:
    explicit Form1(Relay& relay, QWidget* parent = nullptr);
    ~Form1() override;

    // Shows the window and starts the relay's polling, which the event loop
    // runs until QUIT.
    void Form_Load();
    // QUIT: the relay closes the file and the port; the window is unloaded
    // and the event loop ends.
    void Command1_Click();
    // ReSend: prints an empty line and sends the last command again.
    void Command2_Click();
    // Writes one line at the print position and moves it down a line.
    void Print(const QString& text);
    const QStringList& printedLines() const { return printed_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showFailure(const StepFailure& failure);
    void showCleared(const Episodes::Ended& episode);
    void showSent(const std::string& to);
    void showReSendFailed(const std::string& reason);
    // Out's command is not on the line (drawn in red), or is; `note` says
    // why, or where and when.
    void describeOut(bool sent, const QString& note);

    Relay& relay_;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QStringList printed_;
};

}  // namespace freqrelay
