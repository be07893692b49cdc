#pragma once

#include <QtGlobal>

// Marks what libverola_gui gives to the program and the plug-ins.
#if defined(VEROLA_GUI_LIBRARY)
#define VEROLA_GUI_EXPORT Q_DECL_EXPORT
#else
#define VEROLA_GUI_EXPORT Q_DECL_IMPORT
#endif
