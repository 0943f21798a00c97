#pragma once

#include "templates/PageTemplateLibrary.h"

#include <QByteArray>
#include <QList>

// The files of one page template, prepared by the caller of the save.
struct TemplateContent {
    QByteArray pMainXml;        // buildTemplatePMain
    QByteArray bkgPng;          // may be empty: a transparent 800 x 480 is saved
    QByteArray prwPng;          // may be empty: no prw.png
    QByteArray folderXml;       // empty: generated from the label, sort 99
    QList<TemplateFile> items;  // buildMaskItems, relative to Items/
};
