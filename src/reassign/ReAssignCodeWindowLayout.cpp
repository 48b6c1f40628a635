#include "ReAssignCodeWindowLayout.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace kivo {

namespace {
QPushButton *button(QDialog *sheet, const QString &text, const QString &name)
{
    auto *made = new QPushButton(text, sheet);
    made->setAccessibleName(name);
    made->setAutoDefault(false);
    return made;
}
} // namespace

ReAssignCodeWindowLayout::ReAssignCodeWindowLayout(QDialog *sheet)
    : popup(new QComboBox(sheet)),
      assignButton(button(sheet, QDialog::tr("Re-Assign"), QStringLiteral("Re-Assign"))),
      cancelButton(button(sheet, QDialog::tr("Cancel"), QStringLiteral("Cancel"))),
      revertButton(button(sheet, QDialog::tr("Revert All"), QStringLiteral("Revert All"))),
      value1(new QLabel(sheet)), value2(new QLabel(sheet)), notice(new QLabel(sheet)),
      zoom1(new QSlider(Qt::Horizontal, sheet)), zoom2(new QSlider(Qt::Horizontal, sheet)),
      browserViewHolder(new QWidget(sheet)), browserViewHolder2(new QWidget(sheet))
{
    popup->setAccessibleName(QStringLiteral("New Code"));
    popup->setAccessibleDescription(QStringLiteral("New Code"));
    popup->setModel(new QStandardItemModel(popup));
    assignButton->setEnabled(false);
    value1->setAccessibleName(QStringLiteral("Photos of the old code count"));
    value2->setAccessibleName(QStringLiteral("Photos to move count"));
    notice->setAccessibleName(QStringLiteral("Notice"));
    notice->setStyleSheet(QStringLiteral("color: red;"));
    notice->setWordWrap(true);
    notice->setTextFormat(Qt::PlainText); // lists photo names
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice->hide();
    int tag = 1;
    for (QSlider *slider : {zoom1, zoom2}) {
        slider->setRange(0, 100);
        slider->setValue(50);
        slider->setProperty(kTag, tag);
        slider->setAccessibleName(tag++ == 1 ? QStringLiteral("Zoom old code photos")
                                             : QStringLiteral("Zoom photos to move"));
    }

    auto *browsers = new QHBoxLayout;
    browsers->addWidget(browserColumn(sheet, QDialog::tr("Photos of the old code"),
                                      browserViewHolder, value1, zoom1),
                        1);
    browsers->addWidget(browserColumn(sheet, QDialog::tr("Photos to move to the new code"),
                                      browserViewHolder2, value2, zoom2),
                        1);
    auto *codeRow = new QHBoxLayout;
    auto *codeLabel = new QLabel(QDialog::tr("New code:"), sheet);
    codeLabel->setBuddy(popup);
    codeRow->addWidget(codeLabel);
    codeRow->addWidget(popup, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(revertButton);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addWidget(assignButton);
    auto *layout = new QVBoxLayout(sheet);
    layout->addLayout(browsers, 1);
    layout->addWidget(notice);
    layout->addLayout(codeRow);
    layout->addLayout(buttons);
}

QWidget *ReAssignCodeWindowLayout::browserColumn(QDialog *sheet, const QString &title,
                                                 QWidget *holder, QLabel *count, QSlider *zoom)
{
    auto *column = new QWidget(sheet);
    auto *heading = new QHBoxLayout;
    heading->addWidget(new QLabel(title, column));
    heading->addStretch(1);
    heading->addWidget(count);
    auto *holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holder->setMinimumSize(320, 240);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(heading);
    layout->addWidget(holder, 1);
    layout->addWidget(zoom);
    return column;
}

} // namespace kivo
