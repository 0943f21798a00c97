#pragma once

#include <QMetaType>
#include <QString>

// One channel of the configuration's .aimcfg channel list.
struct ChannelInfo {
    int fid = -1;
    int idFis = -1;
    QString longName;
    QString shortName;
    QString labelLongName;
    QString unit;
    int swTipoCanale = -1;
    int chTipoFeatCont = -1;
};

Q_DECLARE_METATYPE(ChannelInfo)
