# Fails when a layer includes one above it: the screens, the data layer and
# the report engine never include the shell (app/), and the core's sources
# never include a header of the interface or of Qt Widgets.
set(core_files
  data/Backup data/ChangeRecord data/ChangeWatch data/ClosedYear data/ConfigFile data/Database data/DelimitedText data/SqliteStorage data/Storage data/TextRules data/DemoData
  data/Environment data/Errors data/IniFile data/InUse data/Ledger data/Migrate data/Parametros data/PgSchema
  data/Prompts data/ServerCheck data/ValueRules data/WaitCursor
  masterdata/AdminGate masterdata/FilterCriterion masterdata/GridValues masterdata/GrillaModel masterdata/RowRules members/MemberImport members/MemberStatement members/SocioSearch
  reports/AssemblyPapers reports/PageFurniture reports/Report reports/ReportDesign reports/ReportExport reports/ReportLayout reports/ReportText
  reports/rptBalance reports/rptCambios reports/rptCuotaImpaga reports/rptLibroSocios
  reports/rptReciboCuota treasury/BankStatement)
set(ui_headers data/ColumnChooser.h data/DataCombo.h data/FormHelpers.h data/QtPrompts.h
  masterdata/frmCierreEjercicio.h masterdata/frmGrilla.h members/frm reports/ReportOutput.h reports/ReportPainter.h
  reports/ReportPreview.h treasury/frm app/)
set(failures "")
file(GLOB_RECURSE below RELATIVE ${SRC} ${SRC}/data/* ${SRC}/members/* ${SRC}/treasury/*
     ${SRC}/masterdata/* ${SRC}/reports/*)
foreach(f ${below})
  file(STRINGS ${SRC}/${f} lines REGEX "^#include \"app/")
  if(lines)
    list(APPEND failures "${f}: ${lines}")
  endif()
endforeach()
foreach(base ${core_files})
  foreach(ext .h .cpp)
    if(EXISTS ${SRC}/${base}${ext})
      file(STRINGS ${SRC}/${base}${ext} lines REGEX "^#include")
      foreach(line ${lines})
        foreach(ui ${ui_headers})
          string(FIND "${line}" "\"${ui}" at)
          if(NOT at EQUAL -1)
            list(APPEND failures "${base}${ext}: ${line}")
          endif()
        endforeach()
        if(line MATCHES "<Q(Widget|Dialog|MainWindow|Application|MessageBox|Printer|Label|LineEdit)")
          list(APPEND failures "${base}${ext}: ${line}")
        endif()
      endforeach()
    endif()
  endforeach()
endforeach()
# The engine's API is the storage seam's alone: its SQLite side and the
# copies and checks. The ledger, the screens, the table editor and the
# reports read and write through the seam.
file(GLOB_RECURSE above_seam RELATIVE ${SRC} ${SRC}/members/* ${SRC}/treasury/* ${SRC}/masterdata/*
     ${SRC}/reports/* ${SRC}/app/* ${SRC}/data/*)
list(REMOVE_ITEM above_seam data/SqliteStorage.cpp data/Backup.cpp)
foreach(f ${above_seam})
  file(STRINGS ${SRC}/${f} lines REGEX "sqlite3_[a-z_]+\\(|<sqlite3\\.h>")
  if(lines)
    list(APPEND failures "${f}: ${lines}")
  endif()
endforeach()
if(failures)
  string(REPLACE ";" "\n" text "${failures}")
  message(FATAL_ERROR "Includes or calls that point past a layer:\n${text}")
endif()
