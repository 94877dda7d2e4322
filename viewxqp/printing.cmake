# Printer device contexts, reprinting and job control.
target_sources(viewxqp_core PRIVATE
  PrinterExports.cpp
)
