#include "kairon/windows/preferenceController.h"

#include "kairon/core/Defaults.h"
#include "kairon/core/PluginManager.h"
#include "platform/Bundle.h"
#include "platform/ClassRegistry.h"
#include "platform/InterfaceLoader.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaultsController.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <new>

namespace {

const QString kInterfaceFile = QStringLiteral("preferences.ui");
constexpr int kKindRole = Qt::UserRole;
constexpr int kClassNameRole = Qt::UserRole + 1;

// An outlet: the loaded top-level widget itself or a descendant, by object name.
template<class T> T *outlet(QWidget *top, const char *name)
{
    if (top->objectName() == QLatin1String(name))
        return qobject_cast<T *>(top);
    return top->findChild<T *>(QLatin1String(name));
}

} // namespace

void preferenceController::initialize()
{
    auto &controller = platform::UserDefaultsController::sharedUserDefaultsController();
    const QVariantMap table = defaults::registeredDefaultsMap();
    controller.registerDefaults(table);
    // Reverting a control returns to the same value as a fresh user has.
    controller.setInitialValues(table);
}

preferenceController *preferenceController::globalInstance()
{
    // Lives until the process ends: its window must not be destroyed after
    // the application object, so the controller is never destroyed.
    alignas(preferenceController) static unsigned char storage[sizeof(preferenceController)];
    static preferenceController *instance = ::new (storage) preferenceController();
    return instance;
}

preferenceController::preferenceController(QObject *parent)
    : QObject(parent)
    , PLGeneral(QStringLiteral("General"))
    , PLInput(QStringLiteral("Input"))
    , PLOutput(QStringLiteral("Output"))
{
    inputPluginNames_.reserve(2);
    outputPluginNames_.reserve(2);
}

preferenceController::~preferenceController()
{
    // Plug-in panes belong to their classes: hand them back before the window
    // and the General pane go.
    if (preferencePanes_)
        selectNewPreferenceView(generalView_);
    std::unique_ptr<QWidget> ownedWindow(preferenceWindow_.data());
}

void preferenceController::showPreferences(QObject *)
{
    // A window closed for good (deleted) is loaded again.
    if (isPrefLoaded_ && !preferenceWindow_)
        isPrefLoaded_ = false;
    if (!isPrefLoaded_) {
        isPrefLoaded_ = loadInterface();
        if (!isPrefLoaded_) {
            showLoadFailureAlert(kInterfaceFile);
            return;
        }
    }
    preferenceWindow_->show();
    preferenceWindow_->raise();
    preferenceWindow_->activateWindow();
}

bool preferenceController::loadInterface()
{
    const QString path = platform::Bundle::mainBundle().pathForResource(kInterfaceFile);
    if (path.isEmpty()) {
        platform::systemLog(
            QStringLiteral("Could not find %1 in %2.")
                .arg(kInterfaceFile, platform::Bundle::mainBundle().resourcePath()));
        return false;
    }
    QString error;
    std::unique_ptr<QWidget> top(platform::InterfaceLoader::load(path, this, nullptr, &error));
    if (!top) {
        platform::systemLog(QStringLiteral("Could not load %1: %2").arg(path, error));
        return false;
    }

    QWidget *window = outlet<QWidget>(top.get(), "preferenceWindow");
    auto *list = outlet<QTreeWidget>(top.get(), "preferenceList");
    QWidget *panes = outlet<QWidget>(top.get(), "preferencePanes");
    if (window != top.get() || !list || !panes) {
        platform::systemLog(
            QStringLiteral("Could not load %1: it lacks the preferenceWindow, preferenceList "
                           "or preferencePanes widget.")
                .arg(path));
        return false;
    }
    preferenceWindow_ = top.release();
    preferenceList_ = list;
    preferencePanes_ = panes;
    activePreferenceName_ = outlet<QLabel>(preferenceWindow_, "activePreferenceName");
    generalView_ = outlet<QWidget>(preferenceWindow_, "generalView");

    preferenceList_->setSelectionMode(QAbstractItemView::SingleSelection);
    preferenceList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(preferenceList_, &QTreeWidget::itemSelectionChanged, this,
            &preferenceController::onOutlineSelectionChanged);
    awakeFromNib();
    return true;
}

void preferenceController::awakeFromNib()
{
    if (!preferenceWindow_)
        return;
    PluginClassList inputClasses;
    PluginClassList outputClasses;
    if (PluginManager *manager = AbstractPluginManager::sharedManager()) {
        inputClasses = manager->inputPluginClasses();
        outputClasses = manager->outputPluginClasses();
    }
    for (const auto &cls : inputClasses) {
        if (cls && !inputPluginNames_.contains(cls->className()))
            inputPluginNames_.append(cls->className());
    }
    platform::systemLog(QStringLiteral("There are %1 Output plugins").arg(outputClasses.size()));
    for (const auto &cls : outputClasses) {
        if (cls && !outputPluginNames_.contains(cls->className()))
            outputPluginNames_.append(cls->className());
    }
    reloadOutline();
}

void preferenceController::selectNewPreferenceView(QWidget *view)
{
    if (!preferencePanes_)
        return;
    QLayout *layout = preferencePanes_->layout();
    const auto shown
        = preferencePanes_->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *old : shown) {
        // Removed, not destroyed: the General pane is kept for later and a
        // plug-in's pane belongs to its class.
        if (layout)
            layout->removeWidget(old);
        old->hide();
        old->setParent(nullptr);
    }
    if (!view)
        return;
    view->setParent(preferencePanes_);
    view->resize(preferencePanes_->size());
    if (layout)
        layout->addWidget(view);
    view->show();
}

int preferenceController::numberOfChildrenOfItem(const Item &item) const
{
    switch (item.kind) {
    case ItemKind::Root:
        return 3;
    case ItemKind::Input:
        return inputPluginNames_.size();
    case ItemKind::Output:
        return outputPluginNames_.size();
    default:
        return 0;
    }
}

preferenceController::Item preferenceController::child(int index, const Item &ofItem) const
{
    switch (ofItem.kind) {
    case ItemKind::Root:
        return { index == 0       ? ItemKind::General
                     : index == 1 ? ItemKind::Input
                                  : ItemKind::Output,
                 {} };
    case ItemKind::Input:
        return { ItemKind::InputPlugin, inputPluginNames_.value(index) };
    case ItemKind::Output:
        return { ItemKind::OutputPlugin, outputPluginNames_.value(index) };
    default:
        return {};
    }
}

bool preferenceController::isItemExpandable(const Item &item) const
{
    return item.kind == ItemKind::Input || item.kind == ItemKind::Output;
}

QString preferenceController::objectValueForItem(const Item &item) const
{
    switch (item.kind) {
    case ItemKind::General:
        return PLGeneral;
    case ItemKind::Input:
        return PLInput;
    case ItemKind::Output:
        return PLOutput;
    case ItemKind::InputPlugin:
    case ItemKind::OutputPlugin: {
        const auto cls = pluginClassNamed(item.className);
        const QString name = cls ? cls->pluginName() : QString();
        return name.isEmpty() ? item.className : name;
    }
    case ItemKind::Root:
        break;
    }
    return {};
}

bool preferenceController::shouldSelectItem(const Item &item)
{
    switch (item.kind) {
    case ItemKind::General:
        selectNewPreferenceView(generalView_);
        if (activePreferenceName_)
            activePreferenceName_->setText(QStringLiteral("General Preferences"));
        return true;
    case ItemKind::InputPlugin:
    case ItemKind::OutputPlugin: {
        if (activePreferenceName_)
            activePreferenceName_->setText(objectValueForItem(item));
        const auto cls = pluginClassNamed(item.className);
        selectNewPreferenceView(cls ? cls->preferenceView() : nullptr);
        return true;
    }
    case ItemKind::Root:
    case ItemKind::Input:
    case ItemKind::Output:
        break;
    }
    return false;
}

void preferenceController::showLoadFailureAlert(const QString &fileName)
{
    QMessageBox alert;
    alert.setIcon(QMessageBox::Warning);
    alert.setWindowTitle(fileName);
    alert.setText(fileName);
    alert.setInformativeText(
        QStringLiteral("Could not load preferences!\n\nPlease reinstall Kairon."));
    alert.addButton(QStringLiteral("Shucks!"), QMessageBox::AcceptRole);
    alert.exec();
}

void preferenceController::reloadOutline()
{
    if (!preferenceList_)
        return;
    selectedOutlineItem_ = nullptr;
    preferenceList_->clear();

    QTreeWidgetItem *generalRow = nullptr;
    auto addItem
        = [this](auto &self, const Item &item, QTreeWidgetItem *parent) -> QTreeWidgetItem * {
        auto *row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(preferenceList_);
        row->setText(0, objectValueForItem(item));
        row->setData(0, kKindRole, static_cast<int>(item.kind));
        row->setData(0, kClassNameRole, item.className);
        Qt::ItemFlags flags = Qt::ItemIsEnabled;
        if (!isItemExpandable(item))
            flags |= Qt::ItemIsSelectable; // group rows are never selected
        row->setFlags(flags);
        for (int i = 0; i < numberOfChildrenOfItem(item); ++i)
            self(self, child(i, item), row);
        row->setExpanded(isItemExpandable(item));
        return row;
    };
    const Item root;
    for (int i = 0; i < numberOfChildrenOfItem(root); ++i) {
        QTreeWidgetItem *row = addItem(addItem, child(i, root), nullptr);
        if (i == 0)
            generalRow = row;
    }
    // Open on the General pane rather than an empty pane area.
    if (generalRow)
        generalRow->setSelected(true);
}

void preferenceController::onOutlineSelectionChanged()
{
    if (restoringSelection_ || !preferenceList_)
        return;
    const auto selected = preferenceList_->selectedItems();
    if (!selected.isEmpty() && selected.first() == selectedOutlineItem_)
        return;
    if (!selected.isEmpty()) {
        QTreeWidgetItem *row = selected.first();
        const Item item { static_cast<ItemKind>(row->data(0, kKindRole).toInt()),
                          row->data(0, kClassNameRole).toString() };
        if (shouldSelectItem(item)) {
            selectedOutlineItem_ = row;
            return;
        }
    }
    // Refused, or a click on a group row that cleared the selection: the
    // previous selection stays, matching the pane it shows.
    restoringSelection_ = true;
    preferenceList_->clearSelection();
    if (selectedOutlineItem_)
        selectedOutlineItem_->setSelected(true);
    restoringSelection_ = false;
}

std::shared_ptr<PluginClass> preferenceController::pluginClassNamed(const QString &className)
{
    return std::dynamic_pointer_cast<PluginClass>(
        platform::ClassRegistry::shared().classNamed(className));
}
