# SPDX-License-Identifier: GPL-3.0-or-later
# Where the Windows build finds Qt for Windows: KELVANE_QT_WINDOWS (a cache variable or the
# environment's), else where packaging/build-qt-windows puts it by default. moc, rcc and uic
# come from the host Qt.
if(NOT KELVANE_QT_WINDOWS)
  if(NOT "$ENV{KELVANE_QT_WINDOWS}" STREQUAL "")
    set(KELVANE_QT_WINDOWS "$ENV{KELVANE_QT_WINDOWS}")
  elseif(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(KELVANE_QT_WINDOWS "$ENV{XDG_CACHE_HOME}/kelvane/qt6-windows")
  else()
    set(KELVANE_QT_WINDOWS "$ENV{HOME}/.cache/kelvane/qt6-windows")
  endif()
endif()
set(KELVANE_QT_WINDOWS "${KELVANE_QT_WINDOWS}" CACHE PATH "Qt for Windows (packaging/build-qt-windows)")
if(NOT EXISTS "${KELVANE_QT_WINDOWS}/kelvane-stamp")
  message(FATAL_ERROR "No Qt for Windows in ${KELVANE_QT_WINDOWS}: run packaging/build-qt-windows first")
endif()
list(APPEND CMAKE_PREFIX_PATH "${KELVANE_QT_WINDOWS}")
list(APPEND CMAKE_FIND_ROOT_PATH "${KELVANE_QT_WINDOWS}")
if(NOT QT_HOST_PATH)
  set(QT_HOST_PATH /usr CACHE PATH "The host Qt, whose tools the build runs")
endif()
