#include "ui/Form1.h"

#include "core/Encoder.h"
#include "core/PollLoop.h"
#include "core/RelayFailure.h"
#include "ui/QuitSignals.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTime>

#include <thread>

namespace freqrelay {

namespace {

constexpr int kTwipsPerPixel = 15;
const QColor kNotSentColour(0xc0, 0x00, 0x00);

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

// The old sans-serif face where it exists, the system's own otherwise.
QFont boldSans(int points) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    font.setWeight(QFont::Bold);
    return font;
}

}  // namespace

Form1::Form1(const std::string& frequencyFile, QWidget* parent)
    : QWidget(parent),
      file_(frequencyFile),
      watch_(frequencyFile),
      log_([this] { return MSComm1.device(); }),
      sender_(MSComm1, state) {
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(4230 / kTwipsPerPixel, 2190 / kTwipsPerPixel);

    Text1 = new QLineEdit(this);
    Text1->setGeometry(twips(1200, 720, 2775, 615));
    Text1->setFont(boldSans(18));
    Command1 = new QPushButton(QStringLiteral("QUIT"), this);
    Command1->setGeometry(twips(3120, 120, 735, 495));
    Text2 = new QLineEdit(this);
    Text2->setGeometry(twips(1200, 1440, 2775, 615));
    Text2->setFont(boldSans(18));
    Label1 = new QLabel(QStringLiteral("In"), this);
    Label1->setGeometry(twips(480, 840, 495, 375));
    Label1->setFont(boldSans(12));
    Label1->setBuddy(Text1);
    Label2 = new QLabel(QStringLiteral("Out"), this);
    Label2->setGeometry(twips(480, 1560, 615, 375));
    Label2->setFont(boldSans(12));
    Label2->setBuddy(Text2);
    Command2 = new QPushButton(QStringLiteral("ReSend"), this);
    Command2->setGeometry(twips(1200, 120, 975, 495));

    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Command2);

    // A signal arrives while the loop may be waiting for a stalled line; that
    // wait must not hold up the stop.
    MSComm1.setQuitCheck([this] { return quitRequested(); });

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

Form1::~Form1() = default;

void Form1::Form_Load() {
    show();
    PollLoop(state, *this, file_, *this, sender_, this).run();
    // A signal ends the loop without the button; leave nothing open either way.
    releaseFileAndPort();
}

void Form1::Command1_Click() {
    // Raised first, so that closing a port on a stalled line gives up at once.
    quit_ = true;
    releaseFileAndPort();
    hide();
}

void Form1::releaseFileAndPort() noexcept {
    file_.close();
    if (MSComm1.portOpen()) {
        try {
            MSComm1.setPortOpen(false);
        } catch (const RelayFailure&) {
            // Ending regardless: the last command could not drain.
            MSComm1.forceClose();
        }
    }
}

void Form1::Command2_Click() {
    Print(QString());
    // The poll loop may be holding the port open while it waits to repeat a
    // step; that port is the loop's to close, not ours.
    const bool openBefore = MSComm1.portOpen();
    try {
        sender_.run();
    } catch (const RelayFailure& failure) {
        // A port left open here would make every later command fail at its
        // first step, so give it up; and tell the operator what went wrong.
        if (!openBefore) {
            MSComm1.forceClose();
        }
        const QString line = QStringLiteral("ReSend failed: ") + readable(failure.what());
        Print(line);
        log_.reSendFailed(failure.what());
        showOutNotSent(line + QLatin1Char('.'));
        return;
    }
    // The digits the command carries, not whatever the operator typed in Out.
    commandSent(state.fr.toText(), Encoder::outText(state));
}

void Form1::stepFailed(const StepFailure& failure) {
    log_.stepFailed(failure);
    const QString reason = readable(failure.reason);
    if (failure.quitting) {
        return;
    }
    if (failure.area == StepArea::File) {
        Text1->setToolTip(QStringLiteral("Waiting for %1.").arg(reason));
    } else if (failure.retrying) {
        showOutNotSent(
            QStringLiteral("Not sent yet: %1. Trying again every %2 ms.").arg(reason).arg(kPollPause.count()));
    } else {
        showOutNotSent(QStringLiteral("Not sent: %1.").arg(reason));
    }
}

void Form1::failureCleared(const StepFailure& failure, std::chrono::steady_clock::duration lasted, int tries) {
    log_.failureCleared(failure, lasted, tries);
    if (failure.quitting) {
        return;
    }
    if (failure.area == StepArea::File) {
        Text1->setToolTip(QString());
    }
    // Out turns normal only once its command is on the line.
}

void Form1::commandSent(const std::string& command, const std::string& digits) {
    log_.commandSent(command, digits);
    lastCommandEnd_ = std::chrono::steady_clock::now();
    outNotSent_ = false;
    Text2->setPalette(palette());
    const QString sent =
        QStringLiteral("Sent to %1 at %2.")
            .arg(readable(MSComm1.device()), QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
    Text2->setToolTip(sent);
    Text2->setAccessibleDescription(sent);
}

void Form1::textHasNoNumber(const std::string& file, const std::string& start) { log_.textHasNoNumber(file, start); }

void Form1::showOutNotSent(const QString& why) {
    outNotSent_ = true;
    QPalette notSent = palette();
    notSent.setColor(QPalette::Text, kNotSentColour);
    Text2->setPalette(notSent);
    Text2->setToolTip(why);
    Text2->setAccessibleDescription(why);
}

void Form1::Print(const QString& text) {
    printed_.append(text);
    update();
}

bool Form1::quitRequested() const { return quit_ || QuitSignals::received(); }

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    const QFontMetrics metrics(font());
    int baseline = metrics.ascent();
    for (const QString& line : printed_) {
        painter.drawText(0, baseline, line);
        baseline += metrics.lineSpacing();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing through the frame ends the relay exactly as QUIT does, instead
    // of leaving an invisible process polling.
    if (!quit_) {
        Command1_Click();
    }
    event->accept();
}

void Form1::pump() { QCoreApplication::processEvents(); }

void Form1::pause(std::chrono::milliseconds duration) {
    // The radio follows as soon as the file is written, not at the next
    // poll, but keeps its pace.
    if (watch_.waitForWrite(std::chrono::steady_clock::now() + duration)) {
        std::this_thread::sleep_until(pacedWake(std::chrono::steady_clock::now(), lastCommandEnd_));
    }
}

void Form1::showIn(const std::string& text) { Text1->setText(QString::fromLatin1(text)); }

void Form1::showOut(const std::string& text) { Text2->setText(QString::fromLatin1(text)); }

}  // namespace freqrelay
