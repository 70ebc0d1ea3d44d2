// Test seam of the request facade: request objects and finders whose
// dispatchers make their sessions with given factories, so that a test can
// see the targets and PDUs handed to the sessions, or answer from a script
// without a network. Production code uses kal_create_get_data and
// kal_create_find_device_snmp.
#ifndef FACADE_REQUEST_TESTING_H_
#define FACADE_REQUEST_TESTING_H_

#include "facade/find_device_snmp.h"
#include "facade/get_data.h"
#include "facade/walk_limits.h"
#include "transport/session_dispatcher.h"

// As kal_create_get_data / kal_create_find_device_snmp, with every dispatcher
// the object makes built over `factories` (copied).
IKalGetData* kal_create_get_data_with(const KasSessionFactories& factories,
                                      int* pStatus = nullptr);
// The same with walk limits of the test's choosing, so that a walk can reach
// them in a few steps.
IKalGetData* kal_create_get_data_with(const KasSessionFactories& factories,
                                      const KalWalkLimits& limits,
                                      int* pStatus = nullptr);
IKalFindDeviceSnmp* kal_create_find_device_snmp_with(
    const KasSessionFactories& factories, int* pStatus = nullptr);

#endif  // FACADE_REQUEST_TESTING_H_
