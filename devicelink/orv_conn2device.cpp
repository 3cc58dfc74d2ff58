#include "orv_conn2device.h"

ORV_CONN2DEVICE::ORV_CONN2DEVICE(QObject *parent) : QObject(parent) {}
ORV_CONN2DEVICE::~ORV_CONN2DEVICE() = default;
void ORV_CONN2DEVICE::loginDevice(const QString &, const QString &, const QString &) {}
void ORV_CONN2DEVICE::activateDevice(const QString &, const QString &, const QString &) {}
void ORV_CONN2DEVICE::sendCommand(const QString &, cJSON *body) { cJSON_Delete(body); }
cJSON *ORV_CONN2DEVICE::replyJson() const { return reply; }
bool ORV_CONN2DEVICE::isBusy() const { return busy; }
void ORV_CONN2DEVICE::search_device(QString) {}
void ORV_CONN2DEVICE::readingLogin() {}
void ORV_CONN2DEVICE::readingSearch() {}
void ORV_CONN2DEVICE::default_timeout() {}
