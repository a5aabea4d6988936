# Runs the built tool on files in a scratch folder and checks output bytes,
# exit status and standard error. Called by CTest with TOOL and WORK set, and
# for the Windows build with EMULATOR (the command that runs a Windows
# program here, "|" between its parts) and WINDOWS_PATHS.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
string(REPLACE "|" ";" emulator "${EMULATOR}")

function(expect_bytes path expected)
  file(READ "${path}" got HEX)
  file(WRITE "${WORK}/expected.bin" "${expected}")
  file(READ "${WORK}/expected.bin" want HEX)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${path}: got ${got}, expected ${want}")
  endif()
endfunction()

# The tool gets paths as a Windows program is given them: drive letter and
# "\" (wine shows the root directory as drive Z:).
function(run expected_status)
  set(args)
  foreach(arg IN LISTS ARGN)
    if(WINDOWS_PATHS AND arg MATCHES "^/")
      string(REPLACE "/" "\\" arg "Z:${arg}")
    endif()
    list(APPEND args "${arg}")
  endforeach()
  execute_process(COMMAND ${emulator} "${TOOL}" ${args} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "${ARGN}: exit ${status}, expected ${expected_status}; stderr: ${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_contains text part)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${part}\" in: ${text}")
  endif()
endfunction()

# Fasy Vola: a sale, a returned line with a percentage discount, a payment.
string(REPEAT " " 26 to28)
string(REPEAT " " 38 textpad)
string(REPEAT " " 28 paytextpad)
set(sale "1${to28}0000001,50001PANE${textpad}2")
set(ret "3${to28}0000001,50001PANE")
string(REPEAT " " 36 disctextpad)
set(discount "4 SCONTO${disctextpad}000001   10")
set(payment "6 12,50     CONTANTI${paytextpad}001")
file(WRITE "${WORK}/receipt.001" "00HEADER\r\n${sale}\r\n${ret}\r\n${discount}\r\n${payment}\r\n")

run(0 fasyvola "${WORK}/receipt.001" "${WORK}/plain.sl")
expect_bytes("${WORK}/plain.sl"
  "PLUD,C1,N1,P000000150,:PANE,Q2;\r\nPLUD,C1,N1,P000000150,:PANE,R;\r\nDISC,%10,:SCONTO 10.00%;\r\nCASH,V1250,:CONTANTI;\r\n")
run(0 fasyvola "${WORK}/receipt.001" "${WORK}/inverted.sl" --invert-discounts)
expect_bytes("${WORK}/inverted.sl"
  "PLUD,C1,N1,P000000150,:PANE,Q2;\r\nPLUD,C1,N1,P000000150,:PANE,R;\r\nMAGG,%10,:SCONTO 10.00%;\r\nCASH,V1250,:CONTANTI;\r\n")

# Itineris: one sold and one returned line.
file(WRITE "${WORK}/receipt.xml"
  "<SCONTRINO>\r\n <DETTAGLIO><CODICE>123</CODICE><DESCRIZIONE>pane</DESCRIZIONE><QTA>2</QTA>\r\n"
  "  <PREZZO>1,50</PREZZO><IMPORTO>3,00</IMPORTO><SCONTO1>0</SCONTO1></DETTAGLIO>\r\n"
  " <DETTAGLIO><CODICE>9</CODICE><DESCRIZIONE>latte</DESCRIZIONE><QTA>1</QTA><PREZZO>1,00</PREZZO>\r\n"
  "  <IMPORTO>1,00</IMPORTO><CAUSALE_RIGA>RESO</CAUSALE_RIGA></DETTAGLIO>\r\n</SCONTRINO>\r\n")
run(0 itineris "${WORK}/receipt.xml" "${WORK}/xml.sl")
expect_bytes("${WORK}/xml.sl"
  "OPER,C1;\r\nPRNT,:-------------------;\r\nPRNT,:PR.LIST. 2 X 1.50;\r\nPRNT,:123;\r\nPRNT,:PANE;\r\nPLUD,N1,C1,: ,P300;\r\nPRNT,:-------------------;\r\nPRNT,:9;\r\nPRNT,:LATTE;\r\nPLUD,N1,C1,: ,P100,R;\r\nPRNT,:-------------------;\r\nSUBT;\r\n")

# Failures: exit 1 and the reason on standard error.
file(WRITE "${WORK}/bad.001" "00\r\n4 BUONO ${disctextpad}000002\r\n")
run(1 fasyvola "${WORK}/bad.001" "${WORK}/bad.sl")
expect_contains("${err}" "ERRORE: Tipo non corrispondente - 13")
run(1 itineris "${WORK}/missing.xml" "${WORK}/x.sl")
expect_contains("${err}" "missing.xml: file not found")
file(WRITE "${WORK}/empty.xml" "")
run(1 itineris "${WORK}/empty.xml" "${WORK}/x.sl")
expect_contains("${err}" "file is empty")
file(WRITE "${WORK}/qty.xml" "<SCONTRINO><DETTAGLIO><QTA>99999</QTA><IMPORTO>1</IMPORTO></DETTAGLIO></SCONTRINO>")
run(1 itineris "${WORK}/qty.xml" "${WORK}/x.sl")
expect_contains("${err}" " -> 1: Overflow - 6")
run(1 itineris "${WORK}/receipt.xml")
run(1 itineris "${WORK}/receipt.xml" "${WORK}/x.sl" --invert-discounts)
run(0 --help)
expect_contains("${out}" "dorvane-convert fasyvola INPUT OUTPUT [--invert-discounts]")
