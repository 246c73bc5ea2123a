#include "ui/main_window/error_box.h"

#include <QMessageBox>

void ShowModalErrorBox(const TErrorBox& box)
{
    QMessageBox messageBox(QMessageBox::Critical, box.title, box.text, QMessageBox::Ok);
    // Messages come from the operating system and the network layer.
    messageBox.setTextFormat(Qt::PlainText);
    messageBox.exec();
}
