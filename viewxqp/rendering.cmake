target_sources(viewxqp_core PRIVATE
)
