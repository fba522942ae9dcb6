#include "kairon/windows/mainWindow.h"

#include "kairon/windows/InputCellDelegate.h"
#include "kairon/windows/InputListModel.h"
#include "platform/Bundle.h"
#include "platform/UserDefaultsController.h"

#include <QAbstractButton>
#include <QAction>
#include <QFontDatabase>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPalette>
#include <QTableView>
#include <QWidget>

namespace {

const QString kSyncOffsetFPSKVO = QStringLiteral("values.syncOffsetFPS");
const QString kOffsetClockFramesKVO = QStringLiteral("values.offsetClock_frames");

QPixmap loadLight(const QString &fileName)
{
    const QString path = platform::Bundle::mainBundle().pathForResource(fileName);
    return path.isEmpty() ? QPixmap() : QPixmap(path);
}

// Black text on the table needs a light base, whatever the desktop theme.
void useLightTablePalette(QTableView &table)
{
    QPalette palette = table.palette();
    for (QPalette::ColorGroup group :
         { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::AlternateBase, QColor(244, 246, 249));
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::Highlight, QColor(196, 222, 255));
        palette.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    table.setPalette(palette);
}

} // namespace

mainWindow::mainWindow()
    : redLight_(loadLight(QStringLiteral("redlight.png")))
    , yellowLight_(loadLight(QStringLiteral("yellowlight.png")))
    , greenLight_(loadLight(QStringLiteral("greenlight.png")))
    , blueLight_(loadLight(QStringLiteral("bluelight.png")))
    , model_(std::make_unique<InputListModel>(*this))
    , delegate_(std::make_unique<InputCellDelegate>())
{
    auto &defaults = platform::UserDefaultsController::sharedUserDefaultsController();
    const int options
        = platform::UserDefaultsController::New | platform::UserDefaultsController::Old;
    defaults.addObserver(this, kSyncOffsetFPSKVO, options);
    defaults.addObserver(this, kOffsetClockFramesKVO, options);
    observeValueForKeyPath(QString(), nullptr, QVariantMap(), nullptr);
}

mainWindow::~mainWindow() = default;

void mainWindow::observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &,
                                        void *)
{
    auto &defaults = platform::UserDefaultsController::sharedUserDefaultsController();
    if (keyPath.isEmpty() || keyPath == kSyncOffsetFPSKVO)
        offsetFraction_ = defaults.intValueForKeyPath(kSyncOffsetFPSKVO);
    if (keyPath.isEmpty() || keyPath == kOffsetClockFramesKVO)
        showFrames_ = defaults.intValueForKeyPath(kOffsetClockFramesKVO) != 0;
}

void mainWindow::setSyncWindow(std::unique_ptr<QWidget> window)
{
    syncWindow_ = std::move(window);
    if (!syncWindow_)
        return;
    activeName_ = syncWindow_->findChild<QLabel *>(QStringLiteral("activeName"));
    activeTime_ = syncWindow_->findChild<QLabel *>(QStringLiteral("activeTime"));
    activeValid_ = syncWindow_->findChild<QLabel *>(QStringLiteral("activeValid"));
    allInputsList_ = syncWindow_->findChild<QTableView *>(QStringLiteral("allInputsList"));
    syncControl_ = syncWindow_->findChild<QAbstractButton *>(QStringLiteral("syncControl"));
    syncAction_ = syncWindow_->findChild<QAction *>(QStringLiteral("actionSetClock"));

    if (activeTime_) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(activeTime_->font().pointSizeF());
        font.setBold(activeTime_->font().bold());
        activeTime_->setFont(font);
    }
    if (activeValid_)
        activeValid_->setScaledContents(true);

    if (allInputsList_) {
        QTableView &table = *allInputsList_;
        table.setModel(model_.get());
        table.setItemDelegate(delegate_.get());
        table.setSelectionBehavior(QAbstractItemView::SelectRows);
        table.setSelectionMode(QAbstractItemView::SingleSelection);
        table.setEditTriggers(QAbstractItemView::NoEditTriggers);
        table.setShowGrid(false);
        table.setAlternatingRowColors(true);
        table.setWordWrap(false);
        table.verticalHeader()->hide();
        table.horizontalHeader()->hide();
        table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table.verticalHeader()->setDefaultSectionSize(InputCellDelegate::rowHeight());
        table.horizontalHeader()->setSectionResizeMode(InputListModel::StatusColumn,
                                                       QHeaderView::Fixed);
        table.horizontalHeader()->resizeSection(InputListModel::StatusColumn,
                                                InputCellDelegate::kLightSize
                                                    + 2 * InputCellDelegate::kPadding);
        table.horizontalHeader()->setStretchLastSection(true);
        useLightTablePalette(table);
        // Arrow keys pick an input at once; the active name stays free of a text cursor.
        table.setFocus();
    }
}

int32_t mainWindow::selecedInput() const
{
    if (!allInputsList_ || !allInputsList_->selectionModel())
        return -1;
    const QModelIndexList rows = allInputsList_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void mainWindow::setSelectedInput(int32_t row)
{
    if (!allInputsList_ || !allInputsList_->selectionModel())
        return;
    if (selecedInput() == row)
        return;
    QItemSelectionModel &selection = *allInputsList_->selectionModel();
    if (row == -1) {
        selection.clearSelection();
        return;
    }
    if (row < 0 || row >= model_->rowCount())
        return;
    selection.select(model_->index(row, 0),
                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void mainWindow::updateList(QObject *)
{
    model_->reload();
}

void mainWindow::updateActiveName(const QString &name, const QString &time, StatusLevel status)
{
    if (activeName_)
        activeName_->setText(name);
    if (activeTime_)
        activeTime_->setText(time);
    if (activeValid_ && (!hasShownStatus_ || status != shownStatus_)) {
        activeValid_->setPixmap(lightForStatus(status));
        shownStatus_ = status;
        hasShownStatus_ = true;
    }
}

void mainWindow::setSyncControlEnabled(bool enabled)
{
    if (syncControl_ && syncControl_->isEnabled() != enabled)
        syncControl_->setEnabled(enabled);
    if (syncAction_ && syncAction_->isEnabled() != enabled)
        syncAction_->setEnabled(enabled);
}

const QPixmap &mainWindow::lightForStatus(StatusLevel status) const
{
    const QPixmap *light = &blueLight_;
    switch (status) {
    case kStatusNoSignal:
        light = &redLight_;
        break;
    case kStatusUnsteady:
        light = &yellowLight_;
        break;
    case kStatusReliable:
        light = &greenLight_;
        break;
    default:
        break;
    }
    return light->isNull() ? blueLight_ : *light;
}
