#include "app/widgets/ConfirmationDialog.h"

#include "app/style/Style.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

QMessageBox* openConfirmation(QWidget* parent, const Confirmation& confirmation,
                              std::function<void()> confirmed, std::function<void()> dismissed)
{
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(confirmation.title);
    box->setText(confirmation.title);
    box->setInformativeText(confirmation.message);
    box->setTextFormat(Qt::PlainText);
    QPushButton* action = box->addButton(confirmation.actionText, QMessageBox::DestructiveRole);
    Style::makeDestructive(action);
    QPushButton* cancel = box->addButton(
        QCoreApplication::translate("ConfirmationDialog", "Abbrechen"), QMessageBox::RejectRole);
    // Return must not destroy anything by accident.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);

    QObject::connect(
        box, &QMessageBox::finished, box,
        [box, action, confirmed = std::move(confirmed), dismissed = std::move(dismissed)] {
            if (box->clickedButton() == action && confirmed)
                confirmed();
            if (dismissed)
                dismissed();
        });
    box->open();
    return box;
}
