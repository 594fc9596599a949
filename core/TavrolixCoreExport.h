#pragma once

#include <QtCore/qglobal.h>

#if defined(TAVROLIX_CORE_LIBRARY)
#define TAVROLIX_CORE_EXPORT Q_DECL_EXPORT
#else
#define TAVROLIX_CORE_EXPORT Q_DECL_IMPORT
#endif
