#include "file_dialogs.h"

#include <QStandardPaths>
#include <QToolButton>

namespace tarnwick {

namespace {

// Qt's own dialog on every desktop: its name filters ignore case, so *.evo
// lists FEATURE_1.EVO as well.
std::unique_ptr<QFileDialog> dialog(QWidget* parent, const QString& title, const QString& folder) {
    auto d = std::make_unique<QFileDialog>(parent, title, folder);
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->setAcceptMode(QFileDialog::AcceptOpen);
    return d;
}

} // namespace

std::unique_ptr<QFileDialog> sourceDialog(QWidget* parent, const QString& folder) {
    auto d = dialog(parent, QStringLiteral("Choose the EVO file to demux"), folder);
    d->setObjectName(QStringLiteral("odEVOfile"));
    d->setFileMode(QFileDialog::ExistingFile);
    d->setOption(QFileDialog::DontResolveSymlinks);
    d->setNameFilters({QStringLiteral("All supported file (*.aob *.evo *.vob)"),
                       QStringLiteral("EVOB files (HD DVD) (*.evo)"),
                       QStringLiteral("AOB files (DVD Audio) (*.aob)"),
                       QStringLiteral("VOB files (DVD Video) (*.vob)")});
    return d;
}

std::unique_ptr<QFileDialog> playlistDialog(QWidget* parent, const QString& folder,
                                            const QString& name) {
    auto d = dialog(parent, QString(), folder);
    d->setObjectName(QStringLiteral("odXPL"));
    d->setFileMode(QFileDialog::ExistingFile);
    d->setNameFilters({QStringLiteral("XPL (VPLST000.XPL)")});
    d->setDefaultSuffix(QStringLiteral("xpl"));
    if (!name.isEmpty()) d->selectFile(name);
    return d;
}

std::unique_ptr<QFileDialog> folderDialog(QWidget* parent, const QString& folder) {
    const QString start = folder.isEmpty()
                              ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                              : folder;
    auto d = dialog(parent, QStringLiteral("Select a directory"), start);
    d->setObjectName(QStringLiteral("odWorkdir"));
    d->setFileMode(QFileDialog::Directory);
    d->setOption(QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) d->selectFile(folder);
    if (auto* newFolder = d->findChild<QToolButton*>(QStringLiteral("newFolderButton")))
        newFolder->hide();
    return d;
}

QString chosenPath(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

} // namespace tarnwick
