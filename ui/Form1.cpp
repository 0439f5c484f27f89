#include "ui/Form1.h"

#include "core/PollPacing.h"
#include "relay/RelayLog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTime>

namespace freqrelay {

namespace {

constexpr int kTwipsPerPixel = 15;
const QColor kNotSentColour(0xc0, 0x00, 0x00);

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

// A widget of the design, with its name as its object name.
template <typename Widget>
Widget* place(Widget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
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

Form1::Form1(Relay& relay, QWidget* parent) : QWidget(parent), relay_(relay) {
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(4230 / kTwipsPerPixel, 2190 / kTwipsPerPixel);

    Text1 = place(new QLineEdit(this), "Text1", twips(1200, 720, 2775, 615));
    Text1->setFont(boldSans(18));
    Command1 = place(new QPushButton(QStringLiteral("QUIT"), this), "Command1", twips(3120, 120, 735, 495));
    Text2 = place(new QLineEdit(this), "Text2", twips(1200, 1440, 2775, 615));
    Text2->setFont(boldSans(18));
    Label1 = place(new QLabel(QStringLiteral("In"), this), "Label1", twips(480, 840, 495, 375));
    Label1->setFont(boldSans(12));
    Label1->setBuddy(Text1);
    Label2 = place(new QLabel(QStringLiteral("Out"), this), "Label2", twips(480, 1560, 615, 375));
    Label2->setFont(boldSans(12));
    Label2->setBuddy(Text2);
    Command2 = place(new QPushButton(QStringLiteral("ReSend"), this), "Command2", twips(1200, 120, 975, 495));
    // In the free space left of ReSend, and reached with Alt+S.
    Command3 = place(new QPushButton(QStringLiteral("&Setup\u2026"), this), "Command3", twips(120, 120, 975, 495));

    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, Text2);
    QWidget::setTabOrder(Text2, Command2);
    QWidget::setTabOrder(Command2, Command3);

    connect(&relay_, &Relay::shown, this, [this](const std::string& in, const std::optional<std::string>& out) {
        Text1->setText(QString::fromLatin1(in));
        if (out) {
            Text2->setText(QString::fromLatin1(*out));
        }
    });
    connect(&relay_, &Relay::sent, this, [this](const Command&, const std::string&, const std::string& to) {
        describeOut(true, readable("Sent to " + to + " at ") +
                              QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('.'));
    });
    connect(&relay_, &Relay::failed, this, [this](const StepFailure& failure) {
        if (failure.quitting) {
            return;
        }
        if (failure.area == StepArea::File) {
            Text1->setToolTip(readable("Waiting for " + failure.reason + "."));
        } else if (failure.retrying) {
            describeOut(false, readable("Not sent yet: " + failure.reason + ". Trying again every " +
                                        std::to_string(kPollPause.count()) + " ms."));
        } else {
            describeOut(false, readable("Not sent: " + failure.reason + "."));
        }
    });
    // Out turns normal only once its command is on the line.
    const auto fileWorks = [this](const Episodes::Ended& episode) {
        if (episode.failure.area == StepArea::File && !episode.failure.quitting) {
            Text1->setToolTip({});
        }
    };
    connect(&relay_, &Relay::cleared, this, fileWorks);
    connect(&relay_, &Relay::abandoned, this, fileWorks);
    connect(&relay_, &Relay::reSendFailed, this, [this](const std::string& reason) {
        const QString line = readable("ReSend failed: " + reason);
        Print(line);
        describeOut(false, line + QLatin1Char('.'));
    });
    // A dropped command changes nothing here: Out stays drawn as not sent,
    // since the new text's command is not on the line either.

    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

void Form1::Form_Load() {
    show();
    relay_.start();
}

void Form1::Command1_Click() {
    // Once only: closing the window and the application's quit come here too.
    if (relay_.ended()) {
        return;
    }
    relay_.quit();
    hide();
    QCoreApplication::quit();
}

void Form1::Command2_Click() {
    Print(QString());
    relay_.reSend();
}

void Form1::Command3_Click() {
    if (setUp_ && !relay_.ended()) {
        setUp_();
    }
}

void Form1::Print(const QString& text) {
    printed_.append(text);
    update();
}

void Form1::describeOut(bool sent, const QString& note) {
    QPalette colours = palette();
    if (!sent) {
        colours.setColor(QPalette::Text, kNotSentColour);
    }
    Text2->setPalette(colours);
    Text2->setToolTip(note);
    Text2->setAccessibleDescription(note);
}

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
    // As QUIT, rather than leave an invisible process polling.
    Command1_Click();
    event->accept();
}

}  // namespace freqrelay
