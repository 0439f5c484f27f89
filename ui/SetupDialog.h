#pragma once

#include "relay/Settings.h"
#include "ui/RelaySetup.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace freqrelay {

// Where the relay reads, sends and logs, chosen by the operator. A part set
// by an option or a variable is shown but cannot be changed here. Nothing is
// applied until every field is accepted.
class SetupDialog final : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<Applied(const Settings&)>;
    SetupDialog(const Settings& current, Apply apply, QWidget* parent = nullptr);
    // Checks every field, then applies; closes only once applied.
    void accept() override;

private:
    // The settings the fields hold, or none, with each refusal beside its field.
    std::optional<Settings> chosen();
    // The link the fields choose, put in `settings`; why it is refused, or "".
    QString chooseLink(Settings& settings) const;
    // Lists the system's ports again when they have changed, keeping the text.
    void listPorts();
    void test();
    void ask(const RigctldAddress& address);

    Settings current_;
    Apply apply_;
    QLineEdit* file_ = nullptr;
    QComboBox* port_ = nullptr;
    QRadioButton* rigctldChoice_ = nullptr;
    QLineEdit* rigctld_ = nullptr;
    QLineEdit* log_ = nullptr;
    QLabel* testResult_ = nullptr;
    QLabel* fileReason_ = nullptr;
    QLabel* linkReason_ = nullptr;
    QLabel* logReason_ = nullptr;
};

}  // namespace freqrelay
