#include "kairon/windows/InputListModel.h"

#include "kairon/core/PluginManager.h"
#include "kairon/core/fancyStrings.h"
#include "kairon/windows/mainWindow.h"
#include "orrery/TCMDTime.h"

#include <QApplication>
#include <QColor>
#include <QFontDatabase>
#include <algorithm>

InputListModel::InputListModel(const mainWindow &owner)
    : owner_(owner)
{
    rows_.resize(1);
}

QFont InputListModel::nameFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(std::max(font.pointSizeF(), 9.0) + 1.0);
    font.setBold(true);
    return font;
}

QFont InputListModel::detailFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(std::max(QApplication::font().pointSizeF(), 9.0));
    font.setFixedPitch(true);
    return font;
}

AttributedText InputListModel::attributedCellText(const QString &name, const QString &time,
                                                  const QString &offset)
{
    AttributedText cell;
    cell.text = QStringLiteral("%1\n%2   %3").arg(name, time, offset);

    QTextLayout::FormatRange nameRun;
    nameRun.start = 0;
    nameRun.length = int(name.size());
    nameRun.format.setFont(nameFont());
    nameRun.format.setForeground(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 1.0f));

    QTextLayout::FormatRange detailRun;
    detailRun.start = int(name.size());
    detailRun.length = int(cell.text.size() - name.size());
    detailRun.format.setFont(detailFont());
    detailRun.format.setForeground(QColor::fromRgbF(0.0f, 0.0f, 0.0f, 0.5f));

    cell.runs = { nameRun, detailRun };
    return cell;
}

void InputListModel::reload()
{
    const InputList inputs = AbstractPluginManager::inputPluginInstances();
    std::vector<Row> fresh(std::max<size_t>(inputs.size(), 1));
    for (size_t i = 0; i < inputs.size(); ++i) {
        tsyncInput &input = *inputs[i];
        Row &row = fresh[i];
        row.hasInput = true;
        row.status = input.statusLevel();
        const QString name = input.name();
        const QString time = fancyTimeString(input.myTime(), true);
        const QString offset = fancyOffsetString(input.currentTimeDelta(), owner_.offsetFraction(),
                                                 owner_.showFrames());
        row.text = attributedCellText(name, time, offset);
    }

    // Rows are inserted or removed rather than the model reset, so the
    // table's selection (which the controller polls) survives a reload.
    const int oldCount = int(rows_.size());
    const int newCount = int(fresh.size());
    if (newCount < oldCount) {
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        rows_.resize(size_t(newCount));
        endRemoveRows();
    } else if (newCount > oldCount) {
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        rows_.resize(size_t(newCount));
        endInsertRows();
    }
    rows_ = std::move(fresh);
    emit dataChanged(index(0, StatusColumn), index(newCount - 1, TextColumn));
}

int InputListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int InputListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant InputListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row &row = rows_[size_t(index.row())];
    if (index.column() == StatusColumn) {
        if (role == Qt::DecorationRole)
            return owner_.lightForStatus(row.hasInput ? row.status : kStatusNoSignal);
        return {};
    }
    if (!row.hasInput)
        return {};
    if (role == Qt::DisplayRole)
        return row.text.text;
    if (role == AttributedTextRole)
        return QVariant::fromValue(row.text);
    return {};
}

QVariant InputListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == IdentifierRole)
        return section == StatusColumn ? QStringLiteral("status") : QStringLiteral("input");
    if (role == Qt::DisplayRole)
        return section == StatusColumn ? QString() : QStringLiteral("Input");
    return {};
}

Qt::ItemFlags InputListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}
