#pragma once

#include "kairon/core/StatusLevel.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QTextLayout>
#include <vector>

class mainWindow;

// A cell text with its runs of character formats.
struct AttributedText
{
    QString text;
    QList<QTextLayout::FormatRange> runs;
};
Q_DECLARE_METATYPE(AttributedText)

// The main window's table of inputs: one row per input instance of the plug-in
// manager, in its order, and one placeholder row when there is none. Column 0
// ("status") is the light, column 1 the name, time and offset. Rows are read
// from the inputs at every reload and kept until the next, so repaints between
// two table ticks ask the inputs nothing (the LTC input counts its queries).
class InputListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { StatusColumn = 0, TextColumn = 1 };
    enum Role { AttributedTextRole = Qt::UserRole + 1, IdentifierRole };

    explicit InputListModel(const mainWindow &owner);

    // Reads every input afresh.
    void reload();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Selectable, never editable.
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Name: bold system font one point above the standard size, opaque black.
    static QFont nameFont();
    // Time and offset: the fixed-pitch font at the standard size, half-transparent black.
    static QFont detailFont();
    static AttributedText attributedCellText(const QString &name, const QString &time,
                                             const QString &offset);

private:
    struct Row
    {
        StatusLevel status = kStatusNoSignal;
        bool hasInput = false;
        AttributedText text;
    };
    const mainWindow &owner_;
    std::vector<Row> rows_;
};
