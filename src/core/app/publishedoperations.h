#pragma once

#include "core/app/blockactions.h"
#include "core/coreexport.h"

#include <QString>
#include <QStringList>

namespace verola {

class TWorkspace;

// What a published operation answered.
struct VEROLA_CORE_EXPORT PublishedAnswer {
    bool found = false; // false for a name that is not published
    QString text;       // the operation's answer as text; empty for operations that answer nothing
};

// Operations the main window publishes by name for outside callers, with their arguments as
// texts. A table or panel is named "N.KIND": block N (0..4) and KIND one of rule, extr, calc, est,
// sel, or block for the block table. EConvertError for arguments that do not fit.
PublishedAnswer CallPublishedOperation(TWorkspace& workspace, const BlockSteps& steps, const QString& name,
    const QStringList& arguments = {});
// The same for operations without arguments; false for an unknown name.
bool RunPublishedOperation(TWorkspace& workspace, const BlockSteps& steps, const QString& name);
QStringList publishedOperationNames();
bool isPublishedOperation(const QString& name);

} // namespace verola
