// The workbench window (placeholder until the workbench is built).
#include "workbench/frmdataform.h"

namespace {
frmdataform* gInstance = nullptr;
}

frmdataform& frmdataform::instance()
{
    if (!gInstance)
        gInstance = new frmdataform;
    return *gInstance;
}

frmdataform* frmdataform::loaded() { return gInstance; }

bool frmdataform::unload()
{
    delete gInstance;
    return true;
}

frmdataform::frmdataform(QWidget* parent) : QWidget(parent) {}

frmdataform::~frmdataform() { gInstance = nullptr; }
