#include "skeleton.h"

namespace zlt::tool {

const char kProjectSkeleton[] = R"(; Zelta-900 voice project, made by zlt900-link --init.
;
; Link it from this folder:  zlt900-link project.zlp project.cfo
; Keys that are commented out show their default value. Comments are whole
; lines that start with ';' or '#'; a ';' inside a value belongs to the value.

[ZLP.Head]
Signature=NVK
Version=1.0

[ZLP.System]
Target=ZELTA_900
; The firmware, chosen by trigger mode (letter case does not matter):
;   TGM_SINGLE_M0 TGM_CYCLE_M0 TGM_BIN_M0 TGM_BIN_M2 TGM_BIN10_M0
;   TGM_PBIN_M0 TGM_PBIN_M2 TGM_PBIN10_M0 TGM_RUART_M0 TGM_RUART_M2
;   TGM_FUART_M0 TGM_FUART_M2 TGM_AUART_M0 TGM_HGPS2_M0 TGM_HGPS2_M2
; The _M2 modes also run the clock triggers T7808 to T7935.
TG_Mode=TGM_SINGLE_M0
; Free text shown in the image's read-me.
;Description=None

[ZLP.Firmware]
; Numbers: decimal, 0x or $ hexadecimal. Booleans: true/false, yes/no, on/off, 1/0.
;BUSY_Signal=0
;STOP_Signal=0
;STOP_Pulse_Time=100
;TG_Pin_Debounce_Time=40
;ST_Pin_Debounce_Time=80
;Reset_Beep=true
;InterruptiableSTG_UsingPriorityRetriggerRule=true
;STG_ImmediateBreakCTG=true
;BkgndCTG_Resumable=true
;UseStartupPlay=false
;StartupPlayVtg=0

[ZLP.Firmware.UartMode]
; 80, 81 or 82
;BitsParity=80
; 1200, 2400, 4800 or 9600 bits per second
;BaudRate=9600
; The two leading and two ending bytes of a serial frame (FUART modes).
;FrameLeading1=255
;FrameLeading2=255
;FrameEnding1=255
;FrameEnding2=255

[ZLP.Word]
; W0000 to W8191: Sonorium clip files (make them with zlt900-snx), with paths
; relative to the folder the link runs in.
;W0001=clips/hello.snx

[ZLP.Sentence]
; S0000 to S8191: steps joined by '+' or ';', for example a word, a pause of
; 200, and another word:
;S0001=W0001+M200+W0002

[ZLP.Trigger]
; T0000 to T8191: mode letters + sentence [+ clock condition on T7808-T7935]
;T0000=LUN + S0001
;T7935=LUN + S0001 + MON~FRI/8~17:0
)";

}  // namespace zlt::tool
