// The procedure set of every PostScript document: the operators of the
// canvas's content, each sheet's content read from the file through the
// decoding filters and run as it is. Text is placed from the widths that
// the content was laid out with, never from the font's own metrics.
#include "device/pdf/ps_resources.h"

namespace tolvane {

extern const char PsProcSet[] = R"(%%BeginResource: procset Tolvane 1 0
/TolvaneDict 64 dict dup begin
currentglobal true setglobal /TR 16 dict def setglobal
/R { array astore TR 3 1 roll put } bind def
/Sz { /setpagedevice where {
    pop currentpagedevice /PageSize 2 copy known {
      get aload pop 2 index sub abs 5 gt exch 3 index sub abs 5 gt or
    } { pop pop true } ifelse
    { 2 array astore << /PageSize 3 -1 roll >> setpagedevice } { pop pop } ifelse
  } { pop pop } ifelse } bind def
/P { currentfile /ASCII85Decode filter dup /FlateDecode filter cvx exec flushfile } bind def
/q { gsave } bind def
/Q { grestore } bind def
/cm { 6 array astore concat } bind def
/re { 4 2 roll moveto 1 index 0 rlineto 0 exch rlineto neg 0 rlineto closepath } bind def
/W { clip } bind def
/n { newpath } bind def
/m { moveto } bind def
/l { lineto } bind def
/h { closepath } bind def
/f { fill } bind def
/g { setgray } bind def
/w { setlinewidth } bind def
/Mode 0 def
/Tr { /Mode exch def } bind def
/BT { /BM matrix currentmatrix def } bind def
/ET { BM setmatrix } bind def
/Sd { 4 3 roll TR exch get 0 get 4 1 roll 4 R } bind def
/Th 1 def /Sc 1 def /Fb null def /Fm matrix def
/Fs { Fb null ne { Fb Fm makefont [Sc Th mul 0 0 Sc 0 0] makefont setfont } if } bind def
/Tf { /Sc exch def TR exch get aload pop /Fm exch def /Wd exch def /Mp exch def /Fb exch def Fs } bind def
/Tz { 100 div /Th exch def Fs } bind def
/Tm { 6 array astore BM setmatrix concat /LM matrix currentmatrix def 0 0 moveto } bind def
/Td { LM setmatrix translate /LM matrix currentmatrix def 0 0 moveto } bind def
/Ld 0 def
/TD { dup neg /Ld exch def Td } bind def
/T* { 0 Ld neg Td } bind def
/Rs 0 def
/Ts { /Rs exch def } bind def
/St { 0 1 Tn 1 sub {
    currentpoint 3 -1 roll Tq 1 index 1 getinterval false charpath
    Tw exch get 3 1 roll moveto 0 rmoveto
  } for BM setmatrix stroke } bind def
/TJ { /Ta exch def
  0 Ta { dup type /stringtype eq { length add } { pop } ifelse } forall
  /Tn exch def /Tq Tn string def /Tw Tn array def /Ti 0 def
  0 Ta { dup type /stringtype eq {
      { dup Mp exch get Tq Ti 3 -1 roll put
        Wd exch get 1000 div Sc mul Th mul Tw Ti 3 -1 roll put /Ti Ti 1 add def } forall
    } { -1000 div Sc mul Th mul Ti 0 eq { add } { Tw Ti 1 sub 2 copy get 4 -1 roll add put } ifelse
    } ifelse } forall
  0 rmoveto 0 Rs rmoveto
  Mode 2 eq {
    currentpoint Tq Tw xshow currentpoint 4 2 roll moveto gsave St grestore moveto
  } { Tq Tw xshow } ifelse
  0 Rs neg rmoveto } bind def
/Tj { 1 array astore TJ } bind def
/Do { TR exch get /Im exch def /Ix 0 def /DeviceRGB setcolorspace
  << /ImageType 1 /Width Im 0 get /Height Im 1 get /BitsPerComponent 8 /Decode [0 1 0 1 0 1]
     /ImageMatrix [Im 0 get 0 0 Im 1 get neg 0 Im 1 get]
     /DataSource { Ix Im 2 get length lt { Im 2 get Ix get /Ix Ix 1 add def } { () } ifelse }
       /FlateDecode filter >> image } bind def
end def
%%EndResource
)";

}  // namespace tolvane
