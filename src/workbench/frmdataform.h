// The workbench window: the open list in a grid and the eight tool pages.
// One default instance, shown inside the main window's MDI area.
#pragma once

#include <QWidget>

class frmdataform : public QWidget {
    Q_OBJECT
public:
    /// The default instance, made (and loaded) on first use.
    static frmdataform& instance();
    /// The instance while it is loaded, else nullptr.
    static frmdataform* loaded();
    /// Unloads the instance (runs its closing road); false when the closing was cancelled.
    static bool unload();

protected:
    explicit frmdataform(QWidget* parent = nullptr);
    ~frmdataform() override;
};
