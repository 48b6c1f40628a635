#pragma once

#include <QVariantMap>

class QFileDialog;
class QWidget;

namespace kivo {

// The folder and file choosers of the preferences window, built from a
// chooser parameter dictionary (ChooserCompletion). Window-modal on parent;
// the choice is stored in the dictionary's preference triple when accepted.
class FolderChooser
{
public:
    // Opens the chooser and returns it (it deletes itself when closed).
    static QFileDialog *doNSOpenPanelWithParameters(const QVariantMap &params, QWidget *parent);
};

} // namespace kivo
