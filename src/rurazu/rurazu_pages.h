// The three RurAzu menu pages. They share their behaviour and differ in the
// lines each builds.
#pragma once

#include "core/plugin_base.h"

class KVTRurazuBase : public CPluginBase {
public:
    using CPluginBase::CPluginBase;
    const char* KVT_THISCALL GetPluginName() override;

    bool listenerRegistered = false;
};

class KVTRurazu : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};

class KVTRurazu2 : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};

class KVTRurazuVR : public KVTRurazuBase {
public:
    using KVTRurazuBase::KVTRurazuBase;
};
