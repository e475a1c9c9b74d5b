#pragma once
// The three file dialogs of the main window.

#include <QFileDialog>

#include <memory>

namespace tarnwick {

// "Choose the EVO file to demux": an existing EVO, VOB or AOB file; links are
// not resolved.
std::unique_ptr<QFileDialog> sourceDialog(QWidget* parent, const QString& folder);

// The playlist: only files named VPLST000.XPL; `name` is preset when given.
std::unique_ptr<QFileDialog> playlistDialog(QWidget* parent, const QString& folder,
                                            const QString& name);

// "Select a directory": folders only, no button for new folders; starts in
// `folder` with it selected, or on the desktop without a selection when
// `folder` is empty.
std::unique_ptr<QFileDialog> folderDialog(QWidget* parent, const QString& folder);

// The one path a dialog returned, or "" when the user cancelled.
QString chosenPath(QFileDialog& dialog);

} // namespace tarnwick
