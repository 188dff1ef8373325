#pragma once
// String table of the plug-in Sweepkit.dll.
#define IDS_FOLDER_PATH_ERROR      1
#define IDS_PLUGIN_COMPANY_NAME    3
#define IDS_PLUGIN_PRODUCT_NAME    4
#define IDS_REGISTRY_CLEANUP_ERROR 5
#define IDS_FILE_CLEANUP_ERROR     6
