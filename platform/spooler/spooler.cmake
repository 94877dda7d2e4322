# The print spooler over CUPS.
target_sources(platform PRIVATE
  spooler/SpoolerErrors.cpp
  spooler/QueueNames.cpp
  spooler/PaperSizes.cpp
  spooler/CupsQueues.cpp
  spooler/PrinterHandles.cpp
  spooler/PrinterStore.cpp
  spooler/DevModes.cpp
  spooler/Printers.cpp
  spooler/Drivers.cpp
  spooler/Jobs.cpp
  spooler/PrinterDC.cpp
)
find_package(Cups REQUIRED)
target_link_libraries(platform PRIVATE Cups::Cups)
