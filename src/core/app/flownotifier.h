#pragma once

#include "core/coreexport.h"
#include "core/app/flux.h"

#include <QObject>

namespace verola {

// Tells observers (the navigator's widgets) what changed in the flow diagram, so that they
// repaint from the model and keep no copy of its state.
class VEROLA_CORE_EXPORT FlowNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    // A panel's or switch's status, a panel's caption or a switch's terminals changed.
    void componentChanged(verola::TFluxComponent* component, verola::FlowChange change);
    // The cells or lists of a panel's table changed.
    void tableChanged(verola::TTablePanel* panel);
    // Another block became the active one.
    void activeBlockChanged(int block);
    // A configuration was opened or saved under a new name: every table, list and the
    // workspace caption may have changed.
    void workspaceReloaded();
};

} // namespace verola
