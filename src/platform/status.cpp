#include "platform/status.h"

namespace dorvane {

std::string ErrorDescription(int number) {
  switch (number) {
    case kErrNone: return "";
    case kErrInvalidCall: return "Chiamata di routine o argomento non validi";
    case kErrOverflow: return "Overflow";
    case kErrTypeMismatch: return "Tipo non corrispondente";
    case kErrBadFileName: return "Nome o numero di file non valido";
    case kErrFileNotFound: return "Impossibile trovare il file";
    case kErrFileAlreadyOpen: return "File gi\xe0 aperto";
    case kErrDeviceIo: return "Errore di I/O della periferica";
    case kErrDiskFull: return "Disco pieno";
    case kErrInputPastEnd: return "Input oltre la fine del file";
    case kErrPermissionDenied: return "Autorizzazione negata";
    case kErrPathFileAccess: return "Errore di accesso al percorso/file";
    case kErrPathNotFound: return "Impossibile trovare il percorso";
    case kErrInvalidProperty: return "Valore della propriet\xe0 non valido";
    default: return "Errore definito dall'applicazione o dall'oggetto";
  }
}

Status Status::Of(int number) { return Error(number, ErrorDescription(number)); }

}  // namespace dorvane
