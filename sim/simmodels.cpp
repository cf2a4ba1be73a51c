// Model registry: every dialect adds its names here.
#include "simengine.h"
#include "simmodel_hp.h"
#include "simscope.h"

std::unique_ptr<SimModel> SimModel::create(const QString &name)
{
    const QString n = name.toUpper();
    if (n == "BUSY")   // the line is held by another program: the instrument is a 54622D
        return std::make_unique<SimHpModel>(SimHpModel::configFor("54622D"));
    if (SimHpModel::knows(name))
        return std::make_unique<SimHpModel>(SimHpModel::configFor(name));
    if (n == "5150")
        return std::make_unique<SimSeframModel>();
    if (n == "GDS-820")
        return std::make_unique<SimGdsModel>("GDS-820", "GW,GDS-820,EF000512,V2.05", SimGdsModel::Gds800);
    if (n == "GDS-1102")
        return std::make_unique<SimGdsModel>("GDS-1102", "GW,GDS-1102,EL800123,V1.21", SimGdsModel::Gds1000);
    if (n == "GDS-2062")
        return std::make_unique<SimGdsModel>("GDS-2062", "GW,GDS-2062,EI150158,V1.38", SimGdsModel::Gds2000);
    if (n == "DS1102E")
        return std::make_unique<SimRigolSerialModel>();
    if (n == "FI3104")
        return std::make_unique<SimFiModel>();
    if (n == "TDS210")
        return std::make_unique<SimUnknownModel>();
    return nullptr;
}

QStringList SimModel::modelNames()
{
    return {"54622D", "54645A", "54600A", "5150", "GDS-820", "GDS-1102", "GDS-2062", "DS1102E", "FI3104", "TDS210", "busy"};
}
