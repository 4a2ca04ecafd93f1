#pragma once
// Jaso_Kit: Korean text and postal addresses in Roman letters, and the zip
// code table. Everything in one include.
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"
#include "jasokit/export.h"
#include "jasokit/name.h"
#include "jasokit/style.h"
#include "jasokit/version.h"
#include "jasokit/zip.h"
