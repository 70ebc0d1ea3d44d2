#include "tools/zelctl/status_text.h"

#include "common/status.h"

namespace zelctl {

std::string exit_code_help() {
  static const struct {
    int code;
    const char* meaning;
  } kCodes[] = {
      {kExitOk, "success"},
      {kExitFailure, "a failure without a code of its own"},
      {kExitUsage, "bad command line (option, address, job ID, SNMPv3 setting)"},
      {kExitLibrary, "the plug-in library could not be loaded or lacks a function"},
      {kExitNoAnswer, "the device did not answer in any try"},
      {kExitUnsupported, "the device is not a supported model"},
      {kExitNotAvailable, "the plug-in does not serve this, or no device is open"},
      {kExitSecurity, "SNMPv3 authentication or privacy failed"},
      {kExitNetwork, "socket, bind, send or receive failure"},
      {kExitDevice, "the device's answer was unusable or refused"},
      {kExitNothingFound, "discover: no supported device answered or passed the filters"},
      {kExitPartial, "status: the device opened but some tables failed"},
      {kExitNoPrinterData, "status: a supported model that serves none of the printer tables"},
  };
  std::string out = "Exit codes:\n";
  for (const auto& c : kCodes) {
    std::string code = std::to_string(c.code);
    out += "  " + code + std::string(4 - code.size(), ' ') + c.meaning + "\n";
  }
  return out;
}

std::string status_meaning(int32_t status) {
  switch (status) {
    case kKalOk: return "success";
    case kZelInitNoContext: return "the plug-in context could not be allocated";
    case kKalErrGeneral: return "general failure";
    case kKalErrInvalidArg: return "invalid argument";
    case kKalErrNoMemory: return "out of memory";
    case kKalErrNoInterface: return "interface not available";
    case kKalErrNotSupported: return "not supported by this plug-in";
    case kKalErrNotFound: return "not found";
    case kKalErrNoData: return "the device answered without a usable value";
    case kKalErrNotReady: return "no device opened";
    case kKalErrPlatform: return "a platform library or function is missing";
    case kKalErrIndexRange: return "index out of range";
    case kKalErrTooMuchData: return "too much data";
    case kKasErrV3Unmapped: return "SNMPv3 library error";
    case kKasErrSocketOpen: return "the socket cannot be opened";
    case kKasErrBind: return "the local address cannot be bound";
    case kKasErrTimeout: return "no answer";
    case kKasErrReceive: return "receiving failed";
    case kKasErrSend: return "sending failed";
    case kKasErrTooBig: return "the device answered tooBig";
    case kKasErrTooLarge: return "the request is too large";
    case kKasErrCannotSplit: return "a single binding cannot be split further";
    case kKasErrV3Security: return "authentication failed (user, protocols or pass phrases)";
    case kKasErrUndecodable: return "undecodable answer";
    case kKasErrOtherRequest: return "answer to another request";
    case kKasErrBadIndex: return "malformed table index";
    default: return "unknown status " + std::to_string(status);
  }
}

int exit_code_for(int32_t status) {
  switch (status) {
    case kKalOk: return kExitOk;
    case kKasErrTimeout: return kExitNoAnswer;
    case kKalErrNotSupported:
    case kKalErrNotReady: return kExitNotAvailable;
    case kKasErrV3Security:
    case kKasErrV3Unmapped: return kExitSecurity;
    case kKasErrSocketOpen:
    case kKasErrBind:
    case kKasErrReceive:
    case kKasErrSend: return kExitNetwork;
    case kKalErrNoData:
    case kKalErrTooMuchData:
    case kKasErrTooBig:
    case kKasErrTooLarge:
    case kKasErrCannotSplit:
    case kKasErrUndecodable:
    case kKasErrOtherRequest:
    case kKasErrBadIndex: return kExitDevice;
    default: return kExitFailure;
  }
}

std::string protocol_name(int32_t protocol) {
  switch (protocol) {
    case 1: return "IPv4";
    case 2: return "IPX";
    case 5: return "IPv6";
    default: return "code " + std::to_string(protocol);
  }
}

namespace {

std::string target_text(const CallContext& c) {
  return c.address.empty() ? "the " + protocol_name(c.protocol) + " broadcast" : c.address;
}

std::string tries_text(const CallContext& c) {
  const long tries = static_cast<long>(c.retries) + 1;
  return std::to_string(tries) + (tries == 1 ? " try" : " tries") + " (time-out " +
         std::to_string(c.timeout_ms) + " ms)";
}

}  // namespace

std::string failure_message(int32_t status, const CallContext& c) {
  const std::string code = " (status " + std::to_string(status) + ")";
  switch (status) {
    case kKasErrTimeout:
      return "no answer from " + target_text(c) + " after " + tries_text(c) + code;
    case kKalErrInvalidArg:
      if (c.raw_protocol) {
        return c.operation + ": invalid argument: the plug-in refused the protocol (" +
               protocol_name(c.protocol) + ") or the address" + code;
      }
      if (c.operation == "device open") {
        return c.address + " is not a supported model, or the address is not an " +
               protocol_name(c.protocol) + " address: invalid argument" + code;
      }
      return c.operation + ": invalid argument (unknown protocol " +
             protocol_name(c.protocol) + ", or an address of another protocol)" + code;
    case kKalErrNotSupported:
      return c.operation + " is not supported by this plug-in for " +
             protocol_name(c.protocol) + " (not served by this protocol, or not built yet)" +
             code;
    case kKalErrNotReady:
      if (c.operation == "device open") {
        return "device open of " + c.address +
               ": the plug-in answered 'no device opened'; this build cannot open devices yet" +
               code;
      }
      return c.operation + ": no device opened (the plug-in has no device object)" + code;
    case kKasErrV3Security:
      return c.operation + " of " + target_text(c) +
             ": authentication failed (user, protocols or pass phrases)" + code;
    case kKalErrNoData:
      return c.operation + " of " + target_text(c) +
             ": the device answered without a usable value (missing object or refused)" + code;
    case kZelInitNoContext:
    case kKalErrNoMemory:
      return c.operation + ": out of memory" + code;
    default:
      return c.operation + (c.address.empty() ? "" : " of " + c.address) + ": " +
             status_meaning(status) + code;
  }
}

}  // namespace zelctl
