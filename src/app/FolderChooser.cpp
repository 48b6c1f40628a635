#include "FolderChooser.h"

#include "ChooserCompletion.h"
#include "platform/Preferences.h"
#include "station/PrefKeys.h"

#include <QFileDialog>
#include <QFileInfo>

namespace kivo {

QFileDialog *FolderChooser::doNSOpenPanelWithParameters(const QVariantMap &params, QWidget *parent)
{
    const bool folders = params.value(QLatin1String(chooser::panelCanChooseFoldersKey)).toBool();
    const QString message = params.value(QLatin1String(chooser::panelMessageKey)).toString();
    const QString pathKey = params.value(QLatin1String(keys::prefFolderNameKey)).toString();
    const QString current = pathKey.isEmpty() ? QString() : Preferences::standard().string(pathKey);

    auto *dialog = new QFileDialog(parent, message);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // A chooser only chooses: no deleting, renaming or new folders from it.
    dialog->setOption(QFileDialog::ReadOnly);
    dialog->setFilter(dialog->filter() | QDir::Hidden);
    dialog->setFileMode(folders ? QFileDialog::Directory : QFileDialog::ExistingFile);
    if (folders)
        dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept,
                         params.value(QLatin1String(chooser::panelPromptKey)).toString());
    dialog->setAccessibleName(message);
    if (!current.isEmpty())
        dialog->setDirectory(QFileInfo(current).isDir() ? current
                                                        : QFileInfo(current).absolutePath());
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, params](int result) {
        const bool accepted = result == QDialog::Accepted;
        ChooserCompletion::openPanelDidEndNew(
            accepted ? ChooserCompletion::kAccept : ChooserCompletion::kCancel,
            accepted ? dialog->selectedFiles() : QStringList(), params);
    });
    dialog->open();
    return dialog;
}

} // namespace kivo
