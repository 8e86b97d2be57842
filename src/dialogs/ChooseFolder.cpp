#include "dialogs/ChooseFolder.h"

#include <QFileDialog>

QString ChooseFolder(QWidget* owner, const QString& initialFolder, const QString& title)
{
    QFileDialog dialog(owner, title, initialFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
