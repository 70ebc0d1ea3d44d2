/* A small C host built against the installed plug-in only: the header from
 * include/zelprinter/, the library by its link name.
 *
 *   host                          make a context, ask for the IPv4 transport,
 *                                 free the context
 *   host ADDRESS [TIMEOUT_MS]     also open the IPv4 device at ADDRESS and
 *                                 print its printer state, a few option
 *                                 values and its job list
 *
 * Exit status: 0 success, 1 a call failed, 2 the device could not be opened. */
#include <stdio.h>
#include <stdlib.h>
#include <zelprinter/zel_api.h>

/* The record sizes a host relies on, as the installed header declares them. */
typedef char check_settings_size[sizeof(ZelSnmpV3Settings) == 716 ? 1 : -1];
typedef char check_job_size[sizeof(ZelJobInfo) == 1336 ? 1 : -1];

static int failed(const char* call, int32_t rc) {
  fprintf(stderr, "host: %s: %s (%d)\n", call, ZelStatusText(rc), (int)rc);
  return 1;
}

/* hrPrinterStatus 1..5; 0 when the device has no hrPrinterTable row. */
static const char* printer_status_name(int32_t status) {
  static const char* const names[] = {"not reported", "other",    "unknown",
                                      "idle",         "printing", "warmup"};
  return status >= 0 && status <= 5 ? names[status] : "?";
}

static int print_printer(ZelContext* ctx) {
  ZelPrinterInfo printer;
  uint32_t errors;
  int32_t rc = ZelGetPrinterInfo(ctx, &printer);
  if (rc != ZEL_STATUS_OK) return failed("ZelGetPrinterInfo", rc);
  errors = (uint32_t)printer.detectedErrorState;
  printf("printer: %s, error bits 0x%04x\n",
         printer_status_name(printer.printerStatus), (unsigned)errors);
  if (errors & ZEL_PRINTER_ERROR_NO_PAPER) printf("  no paper\n");
  if (errors & ZEL_PRINTER_ERROR_JAMMED) printf("  jammed\n");
  if (errors & ZEL_PRINTER_ERROR_INPUT_TRAY_MISSING)
    printf("  input tray missing\n");
  return 0;
}

static int print_options(ZelContext* ctx) {
  char text[ZEL_OPTION_TEXT_SIZE];
  int16_t finisher = 0;
  int32_t trays = 0, level = 0, i;
  int32_t rc = ZelRefreshOptions(ctx);
  if (rc != ZEL_STATUS_OK) return failed("ZelRefreshOptions", rc);
  if (ZelGetOptionValueString(ctx, "SysName", 0, text) == ZEL_STATUS_OK)
    printf("name: %s\n", text);
  if (ZelGetOptionValueBoolean(ctx, "Finisher", 0, &finisher) == ZEL_STATUS_OK)
    printf("finisher: %s\n", finisher ? "yes" : "no");
  rc = ZelGetOptionValueInteger(ctx, "NumberOfInputTray", 0, &trays);
  if (rc != ZEL_STATUS_OK) return failed("NumberOfInputTray", rc);
  for (i = 0; i < trays; ++i) {
    /* Indexed keys count from 0 up to NumberOfInputTray - 1. */
    if (ZelGetOptionValueString(ctx, "InputTrayName", (uint16_t)i, text) ==
            ZEL_STATUS_OK &&
        ZelGetOptionValueInteger(ctx, "InputTrayCurrentLevelInPercent",
                                 (uint16_t)i, &level) == ZEL_STATUS_OK)
      printf("tray %d: %s, %d%%\n", (int)i, text, (int)level);
  }
  return 0;
}

static int print_jobs(ZelContext* ctx) {
  ZelJobInfo job;
  int32_t count = 0, i;
  int32_t rc = ZelGetNumberOfJobInfo(ctx, ZEL_JOB_SELECT_ALL, &count);
  if (rc != ZEL_STATUS_OK) return failed("ZelGetNumberOfJobInfo", rc);
  for (i = 0; i < count; ++i) {
    rc = ZelGetJobInfo(ctx, (uint32_t)i, &job);
    if (rc != ZEL_STATUS_OK) return failed("ZelGetJobInfo", rc);
    printf("job %s: type %d, state %d, %s, %04d-%02d-%02d %02d:%02d\n",
           job.jobId, (int)job.jobType, (int)job.jobState, job.jobText1,
           job.time1.year, job.time1.month, job.time1.day, job.time1.hour,
           job.time1.minute);
  }
  return 0;
}

int main(int argc, char** argv) {
  ZelContext* ctx = NULL;
  int32_t rc;
  int result = 0;
  if (ZelInit(NULL) != ZEL_STATUS_INVALID_ARGUMENT) {
    fprintf(stderr, "host: ZelInit(NULL) did not answer -2\n");
    return 1;
  }
  rc = ZelInit(&ctx);
  if (rc != ZEL_STATUS_OK) return failed("ZelInit", rc);
  rc = ZelCommandString(ctx, "CmdSetCommunityGetOption", "public");
  if (rc != ZEL_STATUS_OK) {
    ZelUnInit(ctx);
    return failed("ZelCommandString", rc);
  }
  if (ZelTransportAvailable(ZEL_PROTOCOL_IPV4) != 1) {
    fprintf(stderr, "host: ZelTransportAvailable(1) answered no\n");
    ZelUnInit(ctx);
    return 1;
  }
  if (argc > 1) {
    const int32_t timeoutMs = argc > 2 ? atoi(argv[2]) : 2000;
    rc = ZelInitDevice(ctx, argv[1], ZEL_PROTOCOL_IPV4, timeoutMs, 1);
    if (rc != ZEL_STATUS_OK) {
      failed("ZelInitDevice", rc);
      ZelUnInit(ctx);
      return 2;
    }
    result |= print_printer(ctx);
    result |= print_options(ctx);
    result |= print_jobs(ctx);
  }
  ZelUnInit(ctx);
  if (result == 0) printf("host: ok\n");
  return result;
}
