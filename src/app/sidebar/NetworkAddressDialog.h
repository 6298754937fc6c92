#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the address of a serial port on the network (an RS-232 gateway, ser2net), with
// the two forms as examples; OK only for a valid address.
class NetworkAddressDialog : public QDialog {
    Q_OBJECT

public:
    explicit NetworkAddressDialog(QWidget* parent = nullptr);

    // The address as entered, without surrounding blanks.
    QString address() const;

private:
    void check();

    QLineEdit* m_address;
    QLabel* m_problem;
    QDialogButtonBox* m_buttons;
};
