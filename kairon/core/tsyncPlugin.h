#pragma once

#include <QString>

// Base contract of every plug-in instance.
class tsyncPlugin {
public:
    virtual ~tsyncPlugin();
    // Display name: the main window's row name, the active name, the name outputs get.
    virtual QString name() const = 0;
};
