#pragma once

#include "kairon/core/StatusLevel.h"
#include "platform/KeyValueObserver.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <memory>

class InputCellDelegate;
class InputListModel;
class QWidget;
class tsyncApp;

// Controller of the main window: the table of every input (status light and
// name / time / offset text), and the active area with the shown input's
// name, time and light. Main thread only.
class mainWindow : public platform::KeyValueObserver
{
public:
    // Loads the four lights and follows syncOffsetFPS and offsetClock_frames.
    mainWindow();
    ~mainWindow() override;
    mainWindow(const mainWindow &) = delete;
    mainWindow &operator=(const mainWindow &) = delete;

    // Takes the window loaded from the main interface file and connects the
    // outlets by object name: allInputsList, activeName, activeTime,
    // activeValid and the set-clock controls syncControl and actionSetClock.
    void setSyncWindow(std::unique_ptr<QWidget> window);
    QWidget *window() const { return syncWindow_.get(); }

    void setParent(tsyncApp *parent) { parent_ = parent; }
    tsyncApp *parent() const { return parent_; }

    // The selected row, -1 when none.
    int32_t selecedInput() const;
    // Selects exactly that row; -1 clears; a row the table does not have, or
    // the row already selected, changes nothing.
    void setSelectedInput(int32_t row);
    void updateList(QObject *sender);
    void updateActiveName(const QString &name, const QString &time, StatusLevel status);
    // The set-clock control only makes sense while an input is active.
    void setSyncControlEnabled(bool enabled);

    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override;

    // The light for a level; blue when that picture failed to load.
    const QPixmap &lightForStatus(StatusLevel status) const;
    const QPixmap &redLight() const { return redLight_; }
    const QPixmap &yellowLight() const { return yellowLight_; }
    const QPixmap &greenLight() const { return greenLight_; }
    const QPixmap &blueLight() const { return blueLight_; }

    int32_t offsetFraction() const { return offsetFraction_; }
    bool showFrames() const { return showFrames_; }
    InputListModel *model() const { return model_.get(); }
    QTableView *allInputsList() const { return allInputsList_; }
    QLabel *activeName() const { return activeName_; }
    QLabel *activeTime() const { return activeTime_; }
    QLabel *activeValid() const { return activeValid_; }

private:
    tsyncApp *parent_ = nullptr;
    int32_t offsetFraction_ = 0;
    bool showFrames_ = false;
    QPixmap redLight_;
    QPixmap yellowLight_;
    QPixmap greenLight_;
    QPixmap blueLight_;
    std::unique_ptr<InputListModel> model_;
    std::unique_ptr<InputCellDelegate> delegate_;
    // Declared after the model so the window (and its table) goes first.
    std::unique_ptr<QWidget> syncWindow_;
    QPointer<QLabel> activeName_;
    QPointer<QLabel> activeTime_;
    QPointer<QLabel> activeValid_;
    QPointer<QTableView> allInputsList_;
    QPointer<QAbstractButton> syncControl_;
    QPointer<QAction> syncAction_;
    StatusLevel shownStatus_ = kStatusNoActiveInput;
    bool hasShownStatus_ = false;
};
