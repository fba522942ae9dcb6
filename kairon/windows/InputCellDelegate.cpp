#include "kairon/windows/InputCellDelegate.h"

#include "kairon/windows/InputListModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace {

void layOut(QTextDocument &document, const AttributedText &cell)
{
    document.setDocumentMargin(0);
    QTextCursor cursor(&document);
    for (const QTextLayout::FormatRange &run : cell.runs)
        cursor.insertText(cell.text.mid(run.start, run.length), run.format);
}

} // namespace

int InputCellDelegate::rowHeight()
{
    return QFontMetrics(InputListModel::nameFont()).lineSpacing()
        + QFontMetrics(InputListModel::detailFont()).lineSpacing() + 2 * kPadding;
}

void InputCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    background.features &= ~QStyleOptionViewItem::HasDecoration;
    // Rows are what one selects; a focus frame around one cell is noise.
    background.state &= ~QStyle::State_HasFocus;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (index.column() == InputListModel::StatusColumn) {
        const QPixmap light = index.data(Qt::DecorationRole).value<QPixmap>();
        if (!light.isNull()) {
            const int side
                = std::min({ kLightSize, option.rect.width() - 2, option.rect.height() - 2 });
            QRect target(0, 0, side, side);
            target.moveCenter(option.rect.center());
            painter->drawPixmap(target, light);
        }
    } else {
        const QVariant value = index.data(InputListModel::AttributedTextRole);
        if (value.canConvert<AttributedText>()) {
            QTextDocument document;
            layOut(document, value.value<AttributedText>());
            const QSizeF size = document.size();
            const qreal top = option.rect.top()
                + std::max<qreal>(0, (option.rect.height() - size.height()) / 2);
            painter->translate(option.rect.left() + kPadding, top);
            painter->setClipRect(
                QRectF(0, 0, option.rect.width() - kPadding, option.rect.height()));
            document.drawContents(painter);
        }
    }
    painter->restore();
}

QSize InputCellDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    if (index.column() == InputListModel::StatusColumn)
        return QSize(kLightSize + 2 * kPadding, rowHeight());
    const QVariant value = index.data(InputListModel::AttributedTextRole);
    if (!value.canConvert<AttributedText>())
        return QSize(0, rowHeight());
    QTextDocument document;
    layOut(document, value.value<AttributedText>());
    return QSize(int(document.idealWidth()) + 2 * kPadding, rowHeight());
}
