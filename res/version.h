#ifndef BREVON_RES_VERSION_H_
#define BREVON_RES_VERSION_H_

#define BREVON_VERSION_BINARY 1, 6, 0, 0
#define BREVON_VERSION_TEXT "1.6.0"
#define BREVON_PRODUCT_DESCRIPTION "Norvell Mail Security command-line tool"
#define BREVON_COMPANY "Norvell"
#define BREVON_RIGHTS "Copyright (C) 2019-2026 Norvell. All rights reserved."
#define BREVON_EXECUTABLE "Brevon.exe"

#endif  // BREVON_RES_VERSION_H_
