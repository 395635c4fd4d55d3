# The window and the command-line tool reach the design through the session,
# the file writers, the 3-D view and the mesh library only; the session
# computes and leaves every file to the writers.
file(GLOB front_ends ${ROOT}/app/*.cpp ${ROOT}/app/*.h ${ROOT}/tools/*.cpp ${ROOT}/tools/*.h)
foreach(source ${front_ends})
  file(STRINGS ${source} lines REGEX "^#include \"(volume|deform|perspective|completion)/")
  if(lines)
    message(SEND_ERROR "${source} includes below the session: ${lines}")
  endif()
endforeach()
file(GLOB session_sources ${ROOT}/session/*.cpp ${ROOT}/session/*.h)
foreach(source ${session_sources})
  file(STRINGS ${source} lines REGEX "QFile|QSaveFile|ofstream|\\.save\\(|mkpath|->write\\(|\\.write\\(")
  if(lines)
    message(SEND_ERROR "${source} writes a file: ${lines}")
  endif()
endforeach()
