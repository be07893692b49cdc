#pragma once

#include <QtGlobal>

// Marks what libverola_core gives to its users: the GUI, the command line and the plug-ins.
#if defined(VEROLA_CORE_LIBRARY)
#define VEROLA_CORE_EXPORT Q_DECL_EXPORT
#else
#define VEROLA_CORE_EXPORT Q_DECL_IMPORT
#endif
