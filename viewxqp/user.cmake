target_sources(viewxqp_core PRIVATE
  DesktopUser.cpp
  UserExports.cpp
)
