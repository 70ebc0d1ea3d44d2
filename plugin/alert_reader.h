// The alert reader: prtAlertTable rows as ZelAlertInfo records.
#ifndef PLUGIN_ALERT_READER_H_
#define PLUGIN_ALERT_READER_H_

#include "plugin/device_object.h"
#include "plugin/device_rows.h"

void zel_alert_record(const ZelDeviceRow& row, ZelAlertInfo* record) noexcept;

// Walks prtAlertTable into device.alerts. 0 or the failing status.
int zel_read_alerts(CZelDevice& device) noexcept;

#endif  // PLUGIN_ALERT_READER_H_
