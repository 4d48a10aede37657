// Numbers of the resources compiled into zema-loader.exe (zema-loader.rc).
#pragma once

#define ZEMA_ICON_RESOURCE 128
