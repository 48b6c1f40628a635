#pragma once

class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QSlider;
class QString;
class QWidget;

namespace kivo {

// The widgets of the reassignment sheet in their places, as a window layout
// file would give them: the two browser holders side by side, each with its
// heading, count and zoom slider (tags 1 and 2), a notice line, the new-code
// popup and the buttons. The sheet connects them to its actions.
class ReAssignCodeWindowLayout
{
public:
    static constexpr char kTag[] = "tag";

    explicit ReAssignCodeWindowLayout(QDialog *sheet);

    QComboBox *popup;
    QPushButton *assignButton;
    QPushButton *cancelButton;
    QPushButton *revertButton;
    QLabel *value1;
    QLabel *value2;
    QLabel *notice;
    QSlider *zoom1;
    QSlider *zoom2;
    QWidget *browserViewHolder;
    QWidget *browserViewHolder2;

private:
    static QWidget *browserColumn(QDialog *sheet, const QString &title, QWidget *holder,
                                  QLabel *count, QSlider *zoom);
};

} // namespace kivo
