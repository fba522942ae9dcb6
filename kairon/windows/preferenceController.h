#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

class PluginClass;

// The preferences window: an outline of panes ("General", the input plug-ins,
// the output plug-ins) beside the selected pane. Also registers the defaults.
// Controls in the panes are bound to their settings by the interface file, so
// this controller never copies values itself.
class preferenceController : public QObject
{
    Q_OBJECT
public:
    // Registers the defaults with the user defaults and as the shared
    // controller's initial values. Run before anything reads a setting;
    // running it again is harmless.
    static void initialize();
    // The one controller of the process, created on first use.
    static preferenceController *globalInstance();

    explicit preferenceController(QObject *parent = nullptr);
    ~preferenceController() override;

    // Loads "preferences.ui" on the first successful call and shows the window;
    // when the file cannot be loaded, says so and tries again next time.
    Q_INVOKABLE void showPreferences(QObject *sender = nullptr);
    // Fills the plug-in name lists from the shared plug-in manager once the
    // interface file is loaded.
    void awakeFromNib();
    // Replaces whatever the pane area shows with `view` (nothing when null).
    void selectNewPreferenceView(QWidget *view);

    // The outline's items: the three roots are recognised by identity, plug-in
    // items by class name within their group.
    enum class ItemKind { Root, General, Input, Output, InputPlugin, OutputPlugin };
    struct Item
    {
        ItemKind kind = ItemKind::Root;
        QString className;
        bool operator==(const Item &) const = default;
    };
    int numberOfChildrenOfItem(const Item &item) const;
    Item child(int index, const Item &ofItem) const;
    bool isItemExpandable(const Item &item) const;
    QString objectValueForItem(const Item &item) const;
    // Shows the item's pane and returns true, or refuses (group rows).
    bool shouldSelectItem(const Item &item);

    bool isPrefLoaded() const { return isPrefLoaded_; }
    QWidget *preferenceWindow() const { return preferenceWindow_; }
    QTreeWidget *preferenceList() const { return preferenceList_; }
    QWidget *preferencePanes() const { return preferencePanes_; }
    QLabel *activePreferenceName() const { return activePreferenceName_; }
    QWidget *generalView() const { return generalView_; }
    const QStringList &inputPluginNames() const { return inputPluginNames_; }
    const QStringList &outputPluginNames() const { return outputPluginNames_; }

    const QString PLGeneral;
    const QString PLInput;
    const QString PLOutput;

protected:
    // The modal "Shucks!" alert for an interface file that failed to load.
    virtual void showLoadFailureAlert(const QString &fileName);

private:
    bool loadInterface();
    void reloadOutline();
    void onOutlineSelectionChanged();
    static std::shared_ptr<PluginClass> pluginClassNamed(const QString &className);

    QPointer<QWidget> preferenceWindow_;
    QPointer<QTreeWidget> preferenceList_;
    QPointer<QWidget> preferencePanes_;
    QPointer<QLabel> activePreferenceName_;
    QPointer<QWidget> generalView_;
    bool isPrefLoaded_ = false;
    QStringList inputPluginNames_;
    QStringList outputPluginNames_;
    QTreeWidgetItem *selectedOutlineItem_ = nullptr; // the last allowed selection
    bool restoringSelection_ = false;
};
