// Model registry: every dialect adds its names here.
#include "simengine.h"
#include "simmodel_hp.h"

std::unique_ptr<SimModel> SimModel::create(const QString &name)
{
    if (SimHpModel::knows(name))
        return std::make_unique<SimHpModel>(SimHpModel::configFor(name));
    return nullptr;
}

QStringList SimModel::modelNames() { return {"54622D", "54645A", "54600A"}; }
