#pragma once

#include <QStyledItemDelegate>

// Paints the main window's cells: the status light centred in its column, and
// the two-line attributed text of an input.
class InputCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kLightSize = 22;
    static constexpr int kPadding = 6;
    // Tall enough for the name line and the time line.
    static int rowHeight();

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *, const QStyleOptionViewItem &,
                          const QModelIndex &) const override
    {
        return nullptr;
    }
};
