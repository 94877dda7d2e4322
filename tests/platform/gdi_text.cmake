target_sources(platform_tests PRIVATE
)
